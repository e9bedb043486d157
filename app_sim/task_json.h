#pragma once

#include "app_sim/task.h"
#include "common/json_writer.h"

#include <simdjson.h>

#include <optional>

namespace mivet::sim {

// Writes `task` as a JSON object. With `now`, the object also tells which
// bucket the task is in at that moment ("bucket"), as answers do; the state
// file leaves it out.
void writeTask(JsonWriter& writer, const Task& task, std::optional<Instant> now = std::nullopt);

// Reads a task written by writeTask. Throws std::runtime_error naming the
// member that is missing or malformed. Missing timestamps become `now`.
Task readTask(simdjson::dom::object object, Instant now);

}  // namespace mivet::sim
