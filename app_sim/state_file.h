#pragma once

#include "app_sim/task_store.h"

#include <string>

namespace mivet::sim {

// The task list kept in `path`: an empty list when the file does not exist.
// Throws std::runtime_error when the file exists but cannot be read or is not
// a task list, so that a damaged file is never overwritten with nothing.
TaskStore loadTasks(const std::string& path, Instant now);

// Replaces the file at `path` atomically with the task list, creating its
// directory first. Throws std::runtime_error on failure.
void saveTasks(const std::string& path, const TaskStore& store);

}  // namespace mivet::sim
