#pragma once

#include <simdjson.h>

#include <string_view>

namespace mivet::bridge {

// What one browser message asks of the desktop application.
struct AppRequest {
  std::string_view method;       // "browser_heartbeat", "browser_ingest_digest" or "ping"
  simdjson::dom::object params;  // lives as long as the message it came from
  // The params as JSON text starting at this view (it may run on past them):
  // "{}" or a view into the message's body. Empty when not known.
  std::string_view paramsText;
};

// The request for a browser message: "heartbeat" and "digest" carry their
// "payload" object (an empty object when it is absent or not an object);
// every other "type", a missing one or one that is not a string, is a "ping"
// with empty params. `body`, when given, is the text `message` was parsed
// from. Never fails.
AppRequest requestForMessage(simdjson::dom::object message, std::string_view body = {});

}  // namespace mivet::bridge
