#include "app_sim/state_file.h"

#include "app_sim/object_list_file.h"
#include "app_sim/task_json.h"
#include "common/atomic_file.h"
#include "common/file_io.h"
#include "common/json_writer.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace mivet::sim {

TaskStore loadTasks(const std::string& path, Instant now) {
  if (!existsFollowingLinks(path)) return TaskStore{};
  std::vector<Task> tasks;
  forEachListedObject(path, {"state file", "tasks", "a task"}, [&](simdjson::dom::object object) {
    tasks.push_back(readTask(object, now));
  });
  return TaskStore(std::move(tasks));
}

void saveTasks(const std::string& path, const TaskStore& store) {
  std::string text;
  JsonWriter writer(text, JsonStyle{.pretty = true, .escapeSlashes = false});
  writer.beginObject();
  writer.key("tasks");
  writer.beginArray();
  for (const Task& task : store.tasks()) writeTask(writer, task);
  writer.endArray();
  writer.endObject();
  if (writer.failed()) throw std::runtime_error("the task list holds text that is not UTF-8");
  text += '\n';

  auto directory = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!directory.empty()) std::filesystem::create_directories(directory, error);
  if (error) {
    throw std::runtime_error("cannot create " + directory.string() + ": " + error.message());
  }
  replaceFileAtomically(path, text);
}

}  // namespace mivet::sim
