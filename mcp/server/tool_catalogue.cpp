#include "mcp/server/tool_catalogue.h"

#include "common/json_writer.h"

#include <initializer_list>
#include <vector>

namespace mivet::mcp {
namespace {

struct Argument {
  std::string_view name;
  std::string_view type;
  std::string_view description;  // empty: the schema has no "description"
  bool required = false;
  std::vector<std::string_view> allowed = {};
};

struct Tool {
  std::string_view name;
  std::string_view description;
  std::vector<Argument> arguments;
};

constexpr std::string_view taskIdFromTools = "Task id from tasks_list or tasks_add.";

const std::vector<Tool>& catalogue() {
  static const std::vector<Tool> tools = {
      {"tasks_add",
       "Add a new task to Mivet. Syncs immediately to Mivet Desktop and iPhone.",
       {{"title", "string", "Clear, concise task title.", true},
        {"dueAt", "string",
         "Optional due date: 'today', 'tomorrow', 'YYYY-MM-DD', or ISO-8601 timestamp. Omit to "
         "add to Today without a specific deadline."},
        {"notes", "string", "Optional short context or note attached to the task."},
        {"sourceContext", "string",
         "Optional source context label (e.g. repo, PR, or meeting name)."},
        {"excerpt", "string", "Optional excerpt or detail body shown in Task Detail."},
        {"deepLink", "string", "Optional URL associated with the task."},
        {"source", "string", "Optional origin provider (defaults to 'manual')."},
        {"autoExtracted", "boolean",
         "Whether this task was auto-extracted rather than explicitly requested."}}},
      {"tasks_list",
       "List tasks currently in Mivet (today, overdue, stale, completed, or all).",
       {{"scope",
         "string",
         "Which bucket of tasks to list (default: 'today').",
         false,
         {"today", "overdue", "stale", "completed", "all"}}}},
      {"tasks_complete",
       "Toggle completion state (check off or reopen) for a task by id.",
       {{"id", "string", taskIdFromTools, true}}},
      {"tasks_update_title",
       "Rename an existing task in Mivet by id.",
       {{"id", "string", taskIdFromTools, true}, {"title", "string", "New task title.", true}}},
      {"tasks_reschedule",
       "Update or clear a task's due date by id.",
       {{"id", "string", taskIdFromTools, true},
        {"dueAt", "string",
         "New due date ('today', 'tomorrow', 'YYYY-MM-DD', or ISO-8601). Omit or pass empty "
         "string to clear."}}},
      {"tasks_reorder",
       "Move a task to a 0-based priority index within Today or Overdue.",
       {{"id", "string", "Task id.", true},
        {"toIndex", "integer", "0-based destination index.", true},
        {"overdue", "boolean", "Optional: true to reorder inside Overdue, false for Today."}}},
      {"tasks_remove",
       "Permanently remove a task from Mivet by id.",
       {{"id", "string", taskIdFromTools, true}}},
      {"schedule_today",
       "Read today's merged calendar schedule and any overlapping conflicts.",
       {}},
      {"browser_status", "Check Mivet Chrome extension connection and enabled sources.", {}},
      {"browser_check_source",
       "Read latest silent digest from a Chrome source (gmail, canvas, outlook, slack).",
       {{"source", "string", "", true, {"gmail", "canvas", "outlook", "slack"}}}},
  };
  return tools;
}

void writeProperty(JsonWriter& writer, const Argument& argument) {
  writer.key(argument.name);
  writer.beginObject();
  writer.key("type");
  writer.string(argument.type);
  if (!argument.allowed.empty()) {
    writer.key("enum");
    writer.beginArray();
    for (auto value : argument.allowed) writer.string(value);
    writer.endArray();
  }
  if (!argument.description.empty()) {
    writer.key("description");
    writer.string(argument.description);
  }
  writer.endObject();
}

void writeInputSchema(JsonWriter& writer, const Tool& tool) {
  writer.beginObject();
  writer.key("type");
  writer.string("object");
  writer.key("properties");
  writer.beginObject();
  for (const auto& argument : tool.arguments) writeProperty(writer, argument);
  writer.endObject();
  bool anyRequired = false;
  for (const auto& argument : tool.arguments) anyRequired = anyRequired || argument.required;
  if (anyRequired) {
    writer.key("required");
    writer.beginArray();
    for (const auto& argument : tool.arguments) {
      if (argument.required) writer.string(argument.name);
    }
    writer.endArray();
  }
  writer.endObject();
}

std::string buildToolDefinitions() {
  std::string json;
  JsonWriter writer(json);
  writer.beginArray();
  for (const auto& tool : catalogue()) {
    writer.beginObject();
    writer.key("name");
    writer.string(tool.name);
    writer.key("description");
    writer.string(tool.description);
    writer.key("inputSchema");
    writeInputSchema(writer, tool);
    writer.endObject();
  }
  writer.endArray();
  return json;
}

}  // namespace

const std::string& toolDefinitions() {
  static const std::string definitions = buildToolDefinitions();
  return definitions;
}

}  // namespace mivet::mcp
