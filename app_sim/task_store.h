#pragma once

#include "app_sim/task.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivet::sim {

// The task list in priority order. Operations on an id that names no task,
// and moves that cannot be made, throw BadRequest and change nothing.
class TaskStore {
 public:
  TaskStore() = default;
  explicit TaskStore(std::vector<Task> tasks) : tasks_(std::move(tasks)) {}

  const std::vector<Task>& tasks() const { return tasks_; }

  // Appends `task` at the end of the priority order.
  const Task& add(Task task);
  std::vector<Task> list(Scope scope, Instant now) const;
  // Ids are matched ignoring case, so an id that passed through lower-casing still works.
  const Task& find(std::string_view id) const;

  // Checks a task off, or reopens it when it is already checked off.
  const Task& toggleCompleted(std::string_view id, Instant now);
  const Task& rename(std::string_view id, std::string title, Instant now);
  // No due date moves the task back to Today without a deadline.
  const Task& reschedule(std::string_view id, std::optional<DueDate> due, Instant now);
  // Moves the task to `toIndex` among the tasks of Today or Overdue (`bucket`,
  // or the task's own bucket when not given); the tasks of other buckets keep
  // their places. Returns the bucket in its new order.
  std::vector<Task> reorder(std::string_view id, std::optional<Bucket> bucket, std::int64_t toIndex,
                            Instant now);
  Task remove(std::string_view id);

 private:
  std::size_t indexOf(std::string_view id) const;

  std::vector<Task> tasks_;
};

}  // namespace mivet::sim
