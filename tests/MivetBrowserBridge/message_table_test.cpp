#include "MivetBrowserBridge/message_table.h"

#include "common/json_reader.h"
#include "common/json_writer.h"

#include <gtest/gtest.h>

namespace mivet::bridge {
namespace {

// The method and the params as compact JSON for the message `json`.
std::pair<std::string, std::string> requestFor(const std::string& json) {
  auto message = parseJsonDocument(json);
  if (!message) return {"not a JSON object", ""};
  AppRequest request = requestForMessage(message->root);
  std::string params;
  JsonWriter writer(params);
  writer.element(request.params);
  return {std::string(request.method), params};
}

using Request = std::pair<std::string, std::string>;

TEST(BridgeMessageTable, HeartbeatAndDigestCarryTheirPayloadUnchanged) {
  EXPECT_EQ(requestFor(R"({"type":"heartbeat","payload":{"tabs":[1,{"a":null}],"ok":true}})"),
            Request("browser_heartbeat", R"({"tabs":[1,{"a":null}],"ok":true})"));
  EXPECT_EQ(requestFor(R"({"payload":{"items":[]},"type":"digest","other":1})"),
            Request("browser_ingest_digest", R"({"items":[]})"));
}

TEST(BridgeMessageTable, PayloadThatIsMissingOrNotAnObjectIsEmpty) {
  EXPECT_EQ(requestFor(R"({"type":"digest"})"), Request("browser_ingest_digest", "{}"));
  EXPECT_EQ(requestFor(R"({"type":"digest","payload":[1,2]})"),
            Request("browser_ingest_digest", "{}"));
  EXPECT_EQ(requestFor(R"({"type":"heartbeat","payload":"x"})"),
            Request("browser_heartbeat", "{}"));
  EXPECT_EQ(requestFor(R"({"type":"heartbeat","payload":null})"),
            Request("browser_heartbeat", "{}"));
}

TEST(BridgeMessageTable, EverythingElseIsAPingWithoutParams) {
  const Request ping("ping", "{}");
  EXPECT_EQ(requestFor("{}"), ping);
  EXPECT_EQ(requestFor(R"({"type":"ping","payload":{"a":1}})"), ping);
  EXPECT_EQ(requestFor(R"({"type":"Heartbeat","payload":{"a":1}})"), ping);
  EXPECT_EQ(requestFor(R"({"type":"digest ","payload":{"a":1}})"), ping);
  EXPECT_EQ(requestFor(R"({"type":7,"payload":{"a":1}})"), ping);
  EXPECT_EQ(requestFor(R"({"type":null})"), ping);
  EXPECT_EQ(requestFor(R"({"type":["heartbeat"],"payload":{"a":1}})"), ping);
}

}  // namespace
}  // namespace mivet::bridge
