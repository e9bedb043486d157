#pragma once

#include <simdjson.h>

#include <string_view>

namespace mivet::bridge {

// What one browser message asks of the desktop application.
struct AppRequest {
  std::string_view method;       // "browser_heartbeat", "browser_ingest_digest" or "ping"
  simdjson::dom::object params;  // lives as long as the message it came from
};

// The request for a browser message: "heartbeat" and "digest" carry their
// "payload" object (an empty object when it is absent or not an object);
// every other "type", a missing one or one that is not a string, is a "ping"
// with empty params. Never fails.
AppRequest requestForMessage(simdjson::dom::object message);

}  // namespace mivet::bridge
