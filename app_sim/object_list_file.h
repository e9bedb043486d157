#pragma once

#include <simdjson.h>

#include <functional>
#include <string>
#include <string_view>

namespace mivet::sim {

// What a file holding a JSON object with one array of objects is called in
// error messages: "the state file" holding "tasks", each "a task".
struct ObjectListFile {
  std::string_view name;  // "state file"
  std::string_view key;   // "tasks"
  std::string_view item;  // "a task"
};

// Reads the file at `path` and passes every object of its `kind.key` array to
// `each`, in order. Throws std::runtime_error naming the file when it cannot
// be read, holds no such array, or the array holds anything but objects.
void forEachListedObject(const std::string& path, const ObjectListFile& kind,
                         const std::function<void(simdjson::dom::object)>& each);

}  // namespace mivet::sim
