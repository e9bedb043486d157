#include "app_sim/dispatch.h"

#include "app_sim/methods.h"
#include "common/json_reader.h"
#include "common/json_writer.h"

#include <array>
#include <exception>
#include <optional>
#include <utility>

namespace mivet::sim {
namespace {

constexpr std::array<std::pair<std::string_view, Method>, 13> methodTable{{
    {"tasks_add", tasksAdd},
    {"tasks_list", tasksList},
    {"tasks_complete", tasksComplete},
    {"tasks_update_title", tasksUpdateTitle},
    {"tasks_reschedule", tasksReschedule},
    {"tasks_reorder", tasksReorder},
    {"tasks_remove", tasksRemove},
    {"schedule_today", scheduleToday},
    {"browser_status", browserStatus},
    {"browser_check_source", browserCheckSource},
    {"browser_heartbeat", browserHeartbeat},
    {"browser_ingest_digest", browserIngestDigest},
    {"ping", ping},
}};

Method findMethod(std::string_view name) {
  for (const auto& [candidate, method] : methodTable) {
    if (candidate == name) return method;
  }
  return nullptr;
}

std::string failure(std::string_view error) {
  std::string line;
  JsonWriter writer(line);
  writer.beginObject();
  writer.key("ok");
  writer.boolean(false);
  writer.key("error");
  writer.string(error);
  writer.endObject();
  // Error texts can quote what the client sent; keep the answer valid regardless.
  if (writer.failed()) return R"({"ok":false,"error":"the request could not be answered"})";
  return line;
}

std::string success(std::string_view resultJson) {
  std::string line;
  JsonWriter writer(line);
  writer.beginObject();
  writer.key("ok");
  writer.boolean(true);
  writer.key("result");
  writer.raw(resultJson);
  writer.endObject();
  return line;
}

std::string run(App& app, Method method, simdjson::dom::object params) {
  std::string result;
  JsonWriter writer(result);
  try {
    std::scoped_lock lock(app.mutex);
    method(app, params, writer);
  } catch (const std::exception& error) {
    return failure(error.what());
  }
  if (writer.failed()) return failure("the result holds text that is not UTF-8");
  return success(result);
}

}  // namespace

std::string answerRequest(App& app, std::string_view requestLine) {
  auto parser = newJsonParser();
  auto request = parseJsonObject(*parser, requestLine);
  if (!request) return failure("the request is not a JSON object");
  auto name = stringMember(*request, "method");
  if (!name) return failure("the request has no \"method\" string");
  Method method = findMethod(*name);
  if (!method) return failure("unknown method '" + std::string(*name) + "'");
  return run(app, method, objectMember(*request, "params").value_or(emptyJsonObject()));
}

}  // namespace mivet::sim
