#pragma once

#include "app_sim/dates.h"

#include <simdjson.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mivet::sim {

// A payload exactly as the extension sent it, as compact JSON, and when it came.
struct ReceivedPayload {
  std::string json;
  Instant receivedAt{};
};

// What the Chrome extension has told the application through the bridge.
// Kept in memory only: the extension repeats its heartbeat and digests.
struct BrowserState {
  std::optional<ReceivedPayload> lastHeartbeat;
  std::vector<std::string> enabledSources;
  std::map<std::string, ReceivedPayload> digests;  // by lower-case source name
};

// A heartbeat seen this recently means the extension is connected.
inline constexpr std::chrono::seconds heartbeatFreshFor{120};

// Keeps the heartbeat. Its enabled sources come from "enabledSources" (an
// array of names) or "sources" (an array of names, or an object whose true
// members are the enabled ones); a heartbeat without them keeps the old list.
void recordHeartbeat(BrowserState& state, simdjson::dom::object payload, Instant now);

// Keeps the digest as the latest of its "source" and returns that source's
// name. Throws BadRequest when the payload names no source.
std::string recordDigest(BrowserState& state, simdjson::dom::object payload, Instant now);

// The latest digest of `source` (matched ignoring case), if one has arrived.
const ReceivedPayload* latestDigest(const BrowserState& state, std::string_view source);

}  // namespace mivet::sim
