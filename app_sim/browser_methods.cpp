#include "app_sim/methods.h"
#include "app_sim/request_params.h"

namespace mivet::sim {
namespace {

void writeReceipt(JsonWriter& result, Instant receivedAt) {
  result.key("received");
  result.boolean(true);
  result.key("receivedAt");
  result.string(formatUtc(receivedAt));
}

void writeDigestTimes(JsonWriter& result, const BrowserState& state) {
  result.beginObject();
  for (const auto& [source, digest] : state.digests) {
    result.key(source);
    result.string(formatUtc(digest.receivedAt));
  }
  result.endObject();
}

}  // namespace

void browserHeartbeat(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  recordHeartbeat(app.browser, params, now);
  result.beginObject();
  writeReceipt(result, now);
  result.endObject();
}

void browserIngestDigest(App& app, simdjson::dom::object params, JsonWriter& result) {
  Instant now = app.clock();
  std::string source = recordDigest(app.browser, params, now);
  result.beginObject();
  writeReceipt(result, now);
  result.key("source");
  result.string(source);
  result.endObject();
}

void browserStatus(App& app, simdjson::dom::object, JsonWriter& result) {
  Instant now = app.clock();
  const BrowserState& state = app.browser;
  const auto& heartbeat = state.lastHeartbeat;
  result.beginObject();
  result.key("connected");
  result.boolean(heartbeat && now - heartbeat->receivedAt < heartbeatFreshFor);
  result.key("lastHeartbeatAt");
  heartbeat ? result.string(formatUtc(heartbeat->receivedAt)) : result.null();
  if (heartbeat) {
    result.key("secondsSinceHeartbeat");
    result.number(static_cast<std::int64_t>((now - heartbeat->receivedAt).count()));
    result.key("heartbeat");
    result.raw(heartbeat->json);
  }
  result.key("enabledSources");
  result.beginArray();
  for (const auto& source : state.enabledSources) result.string(source);
  result.endArray();
  result.key("latestDigests");
  writeDigestTimes(result, state);
  result.endObject();
}

void browserCheckSource(App& app, simdjson::dom::object params, JsonWriter& result) {
  auto source = requiredText(params, "source");
  const ReceivedPayload* digest = latestDigest(app.browser, source);
  result.beginObject();
  result.key("source");
  result.string(source);
  result.key("available");
  result.boolean(digest != nullptr);
  if (digest) {
    result.key("receivedAt");
    result.string(formatUtc(digest->receivedAt));
    result.key("digest");
    result.raw(digest->json);
  } else {
    result.key("message");
    result.string("No digest from " + std::string(source) + " has arrived yet.");
  }
  result.endObject();
}

void ping(App&, simdjson::dom::object, JsonWriter& result) {
  result.beginObject();
  result.key("pong");
  result.boolean(true);
  result.key("app");
  result.string("mivet-app-sim");
  result.endObject();
}

}  // namespace mivet::sim
