#include "app_sim/bad_request.h"
#include "app_sim/methods.h"
#include "app_sim/request_params.h"
#include "app_sim/state_file.h"
#include "app_sim/task_json.h"
#include "common/uuid.h"

namespace mivet::sim {
namespace {

// Applies `change` to a copy of the task list and keeps the copy only once it
// is saved, so a failed save leaves both the file and the list as they were.
template <typename Change>
auto changeTasks(App& app, Change change) {
  TaskStore next = app.tasks;
  auto outcome = change(next);
  saveTasks(app.statePath, next);
  app.tasks = std::move(next);
  return outcome;
}

// An absent or empty "dueAt" means no due date.
std::optional<DueDate> dueAtArgument(simdjson::dom::object params, Instant now) {
  auto text = optionalString(params, "dueAt");
  if (!text || text->find_first_not_of(" \t\r\n") == std::string_view::npos) return std::nullopt;
  auto due = parseDueAt(*text, now);
  if (!due) {
    throw BadRequest(
        "argument \"dueAt\" must be 'today', 'tomorrow', 'YYYY-MM-DD' or an ISO-8601 "
        "timestamp such as 2025-03-14T09:30:00Z, not '" +
        std::string(*text) + "'");
  }
  return due;
}

std::string optionalText(simdjson::dom::object params, std::string_view name) {
  return std::string(optionalString(params, name).value_or(""));
}

Task newTask(simdjson::dom::object params, Instant now) {
  Task task;
  task.title = requiredText(params, "title");
  task.due = dueAtArgument(params, now);
  task.notes = optionalText(params, "notes");
  task.sourceContext = optionalText(params, "sourceContext");
  task.excerpt = optionalText(params, "excerpt");
  task.deepLink = optionalText(params, "deepLink");
  std::string source = optionalText(params, "source");
  if (!source.empty()) task.source = source;
  task.autoExtracted = optionalBool(params, "autoExtracted").value_or(false);
  task.id = newUpperCaseUUID();
  task.createdAt = task.updatedAt = now;
  return task;
}

Scope scopeArgument(simdjson::dom::object params) {
  auto name = optionalString(params, "scope").value_or("today");
  auto scope = scopeNamed(name);
  if (!scope) {
    throw BadRequest(
        "argument \"scope\" must be one of today, overdue, stale, completed, all; not '" +
        std::string(name) + "'");
  }
  return *scope;
}

void writeTaskList(JsonWriter& result, std::string_view label, std::string_view name,
                   const std::vector<Task>& tasks, Instant now) {
  result.beginObject();
  result.key(label);
  result.string(name);
  result.key("count");
  result.number(static_cast<std::uint64_t>(tasks.size()));
  result.key("tasks");
  result.beginArray();
  for (const Task& task : tasks) writeTask(result, task, now);
  result.endArray();
  result.endObject();
}

}  // namespace

void tasksAdd(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  Task task = newTask(params, now);
  changeTasks(app, [&](TaskStore& tasks) { return tasks.add(task); });
  writeTask(result, task, now);
}

void tasksList(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  Scope scope = scopeArgument(params);
  writeTaskList(result, "scope", scopeName(scope), app.tasks.list(scope, now), now);
}

void tasksComplete(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  auto id = requiredString(params, "id");
  Task task = changeTasks(app, [&](TaskStore& tasks) { return tasks.toggleCompleted(id, now); });
  writeTask(result, task, now);
}

void tasksUpdateTitle(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  auto id = requiredString(params, "id");
  std::string title(requiredText(params, "title"));
  Task task = changeTasks(app, [&](TaskStore& tasks) { return tasks.rename(id, title, now); });
  writeTask(result, task, now);
}

void tasksReschedule(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  auto id = requiredString(params, "id");
  auto due = dueAtArgument(params, now);
  Task task = changeTasks(app, [&](TaskStore& tasks) { return tasks.reschedule(id, due, now); });
  writeTask(result, task, now);
}

void tasksReorder(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  auto id = requiredString(params, "id");
  std::int64_t toIndex = requiredInteger(params, "toIndex");
  std::optional<Bucket> bucket;
  if (auto overdue = optionalBool(params, "overdue")) {
    bucket = *overdue ? Bucket::overdue : Bucket::today;
  }
  auto reordered =
      changeTasks(app, [&](TaskStore& tasks) { return tasks.reorder(id, bucket, toIndex, now); });
  Bucket within = bucketOf(app.tasks.find(id), localDayOf(now));
  writeTaskList(result, "bucket", bucketName(within), reordered, now);
}

void tasksRemove(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  auto id = requiredString(params, "id");
  Task removed = changeTasks(app, [&](TaskStore& tasks) { return tasks.remove(id); });
  result.beginObject();
  result.key("removed");
  writeTask(result, removed, now);
  result.endObject();
}

}  // namespace mivet::sim
