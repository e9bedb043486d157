#include "MivetBrowserBridge/request_line.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

#include <regex>

namespace mivet::bridge {
namespace {

// The request line for `params`, with its "id" value blanked out.
std::string requestFor(const std::string& params, bool fromText) {
  auto parsed = parseJsonDocument(params);
  if (!parsed) return "params are not an object";
  std::string line;
  if (!buildRequestLine(line, "browser_ingest_digest", parsed->root, fromText ? params : "")) {
    return "not serialised";
  }
  static const std::regex uuid(
      "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  return std::regex_replace(line, uuid, "ID", std::regex_constants::format_first_only);
}

TEST(BridgeRequestLine, IsOneCompactLineWithAFreshUpperCaseId) {
  EXPECT_EQ(requestFor(R"({ "url" : "https://a/b", "n" : [1, 2.50] })", false),
            "{\"id\":\"ID\",\"method\":\"browser_ingest_digest\","
            "\"params\":{\"url\":\"https:\\/\\/a\\/b\",\"n\":[1,2.5]}}\n");
  std::string first, second;
  auto empty = parseJsonDocument("{}");
  ASSERT_TRUE(buildRequestLine(first, "ping", empty->root));
  ASSERT_TRUE(buildRequestLine(second, "ping", empty->root));
  EXPECT_NE(first.substr(7, 36), second.substr(7, 36));
}

TEST(BridgeRequestLine, CopyingTheParamsTextGivesTheSameLine) {
  for (const std::string params :
       {R"({"url":"https://mail.example.com/u/0/#inbox","items":[{"s":"é \"q\"\n"}]})",
        R"({ "spaced" : [ 1 , { } ] , "esc" : "\u00e9\u001F\/" })", R"({"n":1.50,"m":-0})",
        R"({"s":"\ud83d\ude80"})", "{}"}) {
    EXPECT_EQ(requestFor(params, true), requestFor(params, false)) << params;
  }
}

}  // namespace
}  // namespace mivet::bridge
