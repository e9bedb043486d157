#pragma once

#include <simdjson.h>

#include <optional>
#include <string_view>

namespace mivet::bridge {

// The application method for a browser message of this "type": "heartbeat"
// gives "browser_heartbeat", "digest" gives "browser_ingest_digest", and
// anything else, a missing "type" or one that is not a string (nullopt)
// gives "ping". Never fails.
std::string_view methodForType(std::optional<std::string_view> type);

// Whether requests of `method` carry the message's "payload"; a "ping" has
// empty params.
constexpr bool methodCarriesPayload(std::string_view method) {
  return method != "ping";
}

// What one browser message asks of the desktop application.
struct AppRequest {
  std::string_view method;
  simdjson::dom::object params;  // lives as long as the message it came from
};

// The request for a parsed browser message: the method for its "type", with
// its "payload" object (an empty object when it is absent or not an object)
// when the method carries one. Never fails.
AppRequest requestForMessage(simdjson::dom::object message);

}  // namespace mivet::bridge
