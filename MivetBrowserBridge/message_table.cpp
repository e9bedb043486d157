#include "MivetBrowserBridge/message_table.h"

#include "MivetBrowserBridge/compact_copy.h"
#include "common/json_reader.h"

namespace mivet::bridge {
namespace {

AppRequest withPayload(std::string_view method, simdjson::dom::object message,
                       std::string_view body) {
  auto payload = objectMember(message, "payload");
  if (!payload) return {method, emptyJsonObject(), "{}"};
  // The member the parser found first is the first one spelt "payload" in the
  // text, unless an escaped name came earlier; then the text is not used.
  auto offset = body.empty() ? std::nullopt : memberValueOffset(body, "payload");
  return {method, *payload, offset ? body.substr(*offset) : std::string_view()};
}

}  // namespace

AppRequest requestForMessage(simdjson::dom::object message, std::string_view body) {
  std::string_view type = stringMember(message, "type").value_or("ping");
  if (type == "heartbeat") return withPayload("browser_heartbeat", message, body);
  if (type == "digest") return withPayload("browser_ingest_digest", message, body);
  return {"ping", emptyJsonObject(), "{}"};
}

}  // namespace mivet::bridge
