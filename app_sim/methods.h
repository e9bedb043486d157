#pragma once

#include "app_sim/app.h"
#include "common/json_writer.h"

#include <simdjson.h>

namespace mivet::sim {

// One request method: reads its params and writes its result with `result`.
// Called with the app's mutex held. Throws BadRequest for arguments it cannot
// use and std::runtime_error when the task list cannot be saved; in both cases
// the app is left as it was.
using Method = void (*)(App& app, simdjson::dom::object params, JsonWriter& result);

void tasksAdd(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksList(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksComplete(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksUpdateTitle(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksReschedule(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksReorder(App& app, simdjson::dom::object params, JsonWriter& result);
void tasksRemove(App& app, simdjson::dom::object params, JsonWriter& result);

void scheduleToday(App& app, simdjson::dom::object params, JsonWriter& result);

void browserHeartbeat(App& app, simdjson::dom::object params, JsonWriter& result);
void browserIngestDigest(App& app, simdjson::dom::object params, JsonWriter& result);
void browserStatus(App& app, simdjson::dom::object params, JsonWriter& result);
void browserCheckSource(App& app, simdjson::dom::object params, JsonWriter& result);
void ping(App& app, simdjson::dom::object params, JsonWriter& result);

}  // namespace mivet::sim
