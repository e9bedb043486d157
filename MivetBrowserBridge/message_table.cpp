#include "MivetBrowserBridge/message_table.h"

#include "common/json_reader.h"

namespace mivet::bridge {

std::string_view methodForType(std::optional<std::string_view> type) {
  if (type == "heartbeat") return "browser_heartbeat";
  if (type == "digest") return "browser_ingest_digest";
  return "ping";
}

AppRequest requestForMessage(simdjson::dom::object message) {
  std::string_view method = methodForType(stringMember(message, "type"));
  if (!methodCarriesPayload(method)) return {method, emptyJsonObject()};
  return {method, objectMember(message, "payload").value_or(emptyJsonObject())};
}

}  // namespace mivet::bridge
