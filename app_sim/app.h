#pragma once

#include "app_sim/browser_state.h"
#include "app_sim/dates.h"
#include "app_sim/task_store.h"

#include <functional>
#include <mutex>
#include <string>

namespace mivet::sim {

// Everything the application knows. Requests arrive on many threads at once;
// each one holds `mutex` for as long as it reads or changes the rest.
struct App {
  std::mutex mutex;
  TaskStore tasks;
  BrowserState browser;
  std::string statePath;     // where the task list is kept
  std::string calendarPath;  // empty: no calendar
  std::function<Instant()> clock = currentInstant;
};

}  // namespace mivet::sim
