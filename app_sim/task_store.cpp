#include "app_sim/task_store.h"

#include "app_sim/bad_request.h"

#include <algorithm>
#include <cctype>

namespace mivet::sim {
namespace {

bool sameId(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

std::string capitalised(std::string_view name) {
  std::string text(name);
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

Bucket reorderBucket(const Task& task, std::optional<Bucket> requested, Day today) {
  Bucket actual = bucketOf(task, today);
  if (requested && *requested != actual) {
    throw BadRequest("task '" + task.id + "' is in " + capitalised(bucketName(actual)) +
                     ", not in " + capitalised(bucketName(*requested)));
  }
  if (actual != Bucket::today && actual != Bucket::overdue) {
    throw BadRequest("only tasks in Today or Overdue can be reordered; task '" + task.id + "' is " +
                     std::string(bucketName(actual)));
  }
  return actual;
}

}  // namespace

const Task& TaskStore::add(Task task) {
  tasks_.push_back(std::move(task));
  return tasks_.back();
}

std::vector<Task> TaskStore::list(Scope scope, Instant now) const {
  std::vector<Task> result;
  for (const Task& task : tasks_) {
    if (inScope(task, scope, now)) result.push_back(task);
  }
  return result;
}

std::size_t TaskStore::indexOf(std::string_view id) const {
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    if (sameId(tasks_[i].id, id)) return i;
  }
  throw BadRequest("no task with id '" + std::string(id) + "'");
}

const Task& TaskStore::find(std::string_view id) const {
  return tasks_[indexOf(id)];
}

const Task& TaskStore::toggleCompleted(std::string_view id, Instant now) {
  Task& task = tasks_[indexOf(id)];
  task.completed = !task.completed;
  task.completedAt = task.completed ? std::optional<Instant>(now) : std::nullopt;
  task.updatedAt = now;
  return task;
}

const Task& TaskStore::rename(std::string_view id, std::string title, Instant now) {
  Task& task = tasks_[indexOf(id)];
  task.title = std::move(title);
  task.updatedAt = now;
  return task;
}

const Task& TaskStore::reschedule(std::string_view id, std::optional<DueDate> due, Instant now) {
  Task& task = tasks_[indexOf(id)];
  task.due = due;
  task.updatedAt = now;
  return task;
}

std::vector<Task> TaskStore::reorder(std::string_view id, std::optional<Bucket> bucket,
                                     std::int64_t toIndex, Instant now) {
  Day today = localDayOf(now);
  std::size_t movedIndex = indexOf(id);
  Bucket within = reorderBucket(tasks_[movedIndex], bucket, today);

  // The bucket's tasks are permuted among the positions they already hold.
  std::vector<std::size_t> slots;
  for (std::size_t i = 0; i < tasks_.size(); ++i) {
    if (bucketOf(tasks_[i], today) == within) slots.push_back(i);
  }
  auto last = static_cast<std::int64_t>(slots.size()) - 1;
  if (toIndex < 0 || toIndex > last) {
    throw BadRequest("toIndex " + std::to_string(toIndex) + " is out of range: " +
                     capitalised(bucketName(within)) + " holds " + std::to_string(slots.size()) +
                     " task(s), so use 0 to " + std::to_string(last));
  }
  std::vector<Task> members;
  for (std::size_t slot : slots) members.push_back(std::move(tasks_[slot]));
  auto from = std::find(slots.begin(), slots.end(), movedIndex) - slots.begin();
  Task moved = std::move(members[static_cast<std::size_t>(from)]);
  moved.updatedAt = now;
  members.erase(members.begin() + from);
  members.insert(members.begin() + toIndex, std::move(moved));
  for (std::size_t k = 0; k < slots.size(); ++k) tasks_[slots[k]] = members[k];
  return members;
}

Task TaskStore::remove(std::string_view id) {
  std::size_t index = indexOf(id);
  Task removed = std::move(tasks_[index]);
  tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(index));
  return removed;
}

}  // namespace mivet::sim
