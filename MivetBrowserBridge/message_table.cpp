#include "MivetBrowserBridge/message_table.h"

#include "common/json_reader.h"

namespace mivet::bridge {

AppRequest requestForMessage(simdjson::dom::object message) {
  std::string_view type = stringMember(message, "type").value_or("ping");
  auto payload = [&] { return objectMember(message, "payload").value_or(emptyJsonObject()); };
  if (type == "heartbeat") return {"browser_heartbeat", payload()};
  if (type == "digest") return {"browser_ingest_digest", payload()};
  return {"ping", emptyJsonObject()};
}

}  // namespace mivet::bridge
