#include "MivetBrowserBridge/message_text.h"

#include "MivetBrowserBridge/message_table.h"
#include "MivetBrowserBridge/request_line.h"
#include "common/json_reader.h"

#include <gtest/gtest.h>

#include <random>

namespace mivet::bridge {
namespace {

using Request = std::pair<std::string, std::string>;  // method, params as written

// The request as the parsed message gives it; nullopt for a body that is not a JSON object.
std::optional<Request> parsedRequest(const std::string& body) {
  auto message = parseJsonDocument(body);
  if (!message) return std::nullopt;
  AppRequest request = requestForMessage(message->root);
  std::string params;
  appendParams(params, request.params);
  return Request(request.method, params);
}

std::optional<Request> textRequest(const std::string& body) {
  std::string params = "old";
  auto method = requestFromText(body, params);
  if (!method) return std::nullopt;
  return Request(*method, params);
}

TEST(BridgeMessageText, ReadsTheMessagesTheExtensionSendsWithoutParsing) {
  const std::vector<std::pair<std::string, Request>> cases = {
      {R"({"type":"heartbeat","payload":{"url":"https://a/b","tabs":[1,2]}})",
       {"browser_heartbeat", R"({"url":"https:\/\/a\/b","tabs":[1,2]})"}},
      {R"( { "payload" : { "items" : [ ] } , "type" : "digest" } )",
       {"browser_ingest_digest", R"({"items":[]})"}},
      {R"({"type":"digest","payload":[1,2]})", {"browser_ingest_digest", "{}"}},
      {R"({"type":"digest"})", {"browser_ingest_digest", "{}"}},
      {R"({"type":"ping","payload":{"a":1}})", {"ping", "{}"}},
      {R"({"type":"Heartbeat","payload":{"a":1}})", {"ping", "{}"}},
      {R"({"type":7,"payload":{"a":1}})", {"ping", "{}"}},
      {R"({"type":null,"type":"digest","payload":{"a":1}})", {"ping", "{}"}},
      {R"({"type":"digest","payload":{"first":1},"payload":{"second":2}})",
       {"browser_ingest_digest", R"({"first":1})"}},
      {"{}", {"ping", "{}"}},
  };
  for (const auto& [body, expected] : cases) {
    EXPECT_EQ(textRequest(body), expected) << body;
    EXPECT_EQ(parsedRequest(body), expected) << body;
  }
}

TEST(BridgeMessageText, LeavesWhatItCannotVouchForToTheParser) {
  for (const std::string body : {
           R"({"type":"digest","payload":{"n":1.5}})",  // a number the writer may respell
           R"({"typ\u0065":"digest","payload":{}})",    // an escaped name
           R"({"type":"dig\u0065st","payload":{}})",    // an escaped type
           R"({"type":"digest","payload":{}} {})",      // two values
           R"({"type":"digest","payload":{},})",        // not JSON
           R"(["type","digest"])",
           R"("digest")",
           "",
           "{\"a\":\"\xC3\x28\"}",
       }) {
    EXPECT_EQ(textRequest(body), std::nullopt) << body;
  }
  // The parser still understands the valid ones.
  EXPECT_EQ(parsedRequest(R"({"typ\u0065":"digest","payload":{"a":1}})"),
            Request("browser_ingest_digest", R"({"a":1})"));
}

TEST(BridgeMessageText, GivesTheSameRequestAsTheParsedMessageOrNone) {
  std::mt19937 random(3);
  const std::string pieces[] = {R"("type")",
                                R"("payload")",
                                R"("heartbeat")",
                                R"("digest")",
                                R"({"a":[1,"x/y"]})",
                                "[]",
                                "{}",
                                "1.5",
                                "7",
                                "null",
                                R"("t\u00e9")",
                                ":",
                                ",",
                                " ",
                                "{",
                                "}",
                                "\"",
                                "\\"};
  int agreed = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string body = "{";
    for (std::size_t n = random() % 8; n > 0; --n) body += pieces[random() % std::size(pieces)];
    if (random() % 2) body += "}";
    auto fromText = textRequest(body);
    if (!fromText) continue;
    ++agreed;
    ASSERT_EQ(fromText, parsedRequest(body)) << body;
  }
  EXPECT_GT(agreed, 100);
}

}  // namespace
}  // namespace mivet::bridge
