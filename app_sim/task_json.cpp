#include "app_sim/task_json.h"

#include "common/json_reader.h"

#include <stdexcept>

namespace mivet::sim {
namespace {

void optionalMember(JsonWriter& writer, std::string_view key, const std::string& value) {
  if (value.empty()) return;
  writer.key(key);
  writer.string(value);
}

std::string textMember(simdjson::dom::object object, std::string_view key) {
  return std::string(stringMember(object, key).value_or(""));
}

bool boolMember(simdjson::dom::object object, std::string_view key) {
  bool value = false;
  std::ignore = object.at_key(key).get_bool().get(value);
  return value;
}

Instant instantMember(simdjson::dom::object object, std::string_view key, Instant fallback) {
  auto text = stringMember(object, key);
  if (!text) return fallback;
  auto instant = parseTimestamp(*text);
  if (!instant) throw std::runtime_error("task member \"" + std::string(key) + "\" is not a time");
  return *instant;
}

}  // namespace

void writeTask(JsonWriter& writer, const Task& task, std::optional<Instant> now) {
  writer.beginObject();
  writer.key("id");
  writer.string(task.id);
  writer.key("title");
  writer.string(task.title);
  writer.key("completed");
  writer.boolean(task.completed);
  if (now) {
    writer.key("bucket");
    writer.string(bucketName(bucketOf(task, localDayOf(*now))));
  }
  if (task.due) {
    writer.key("dueAt");
    writer.string(formatDueDate(*task.due));
  }
  optionalMember(writer, "notes", task.notes);
  optionalMember(writer, "sourceContext", task.sourceContext);
  optionalMember(writer, "excerpt", task.excerpt);
  optionalMember(writer, "deepLink", task.deepLink);
  writer.key("source");
  writer.string(task.source);
  writer.key("autoExtracted");
  writer.boolean(task.autoExtracted);
  writer.key("createdAt");
  writer.string(formatUtc(task.createdAt));
  writer.key("updatedAt");
  writer.string(formatUtc(task.updatedAt));
  if (task.completedAt) {
    writer.key("completedAt");
    writer.string(formatUtc(*task.completedAt));
  }
  writer.endObject();
}

Task readTask(simdjson::dom::object object, Instant now) {
  Task task;
  task.id = textMember(object, "id");
  task.title = textMember(object, "title");
  if (task.id.empty() || task.title.empty()) {
    throw std::runtime_error("a task lacks its \"id\" or \"title\"");
  }
  task.notes = textMember(object, "notes");
  task.sourceContext = textMember(object, "sourceContext");
  task.excerpt = textMember(object, "excerpt");
  task.deepLink = textMember(object, "deepLink");
  task.source = stringMember(object, "source").value_or("manual");
  task.autoExtracted = boolMember(object, "autoExtracted");
  task.completed = boolMember(object, "completed");
  if (auto due = stringMember(object, "dueAt")) {
    task.due = parseDueAt(*due, now);
    if (!task.due) throw std::runtime_error("task '" + task.id + "' has an unreadable \"dueAt\"");
  }
  task.createdAt = instantMember(object, "createdAt", now);
  task.updatedAt = instantMember(object, "updatedAt", task.createdAt);
  if (object.at_key("completedAt").error() == simdjson::SUCCESS) {
    task.completedAt = instantMember(object, "completedAt", now);
  }
  return task;
}

}  // namespace mivet::sim
