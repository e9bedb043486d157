#include "MivetBrowserBridge/request_line.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

#include <regex>

namespace mivet::bridge {
namespace {

TEST(BridgeRequestLine, WrapsTheParamsInOneLineWithAFreshUpperCaseId) {
  auto params = parseJsonDocument(R"({ "url" : "https://a/b", "n" : [1, 2.50] })");
  ASSERT_TRUE(params.has_value());
  std::string line = "";
  ASSERT_TRUE(appendParams(line, params->root));
  EXPECT_EQ(line, R"({"url":"https:\/\/a\/b","n":[1,2.5]})");
  wrapParamsInRequestLine(line, "browser_ingest_digest");

  static const std::regex shape(
      R"re(\{"id":"[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}",)re"
      R"re("method":"browser_ingest_digest","params":\{"url":"https:\\/\\/a\\/b","n":\[1,2\.5\]\}\}\n)re");
  EXPECT_TRUE(std::regex_match(line, shape)) << line;

  std::string first = "{}", second = "{}";
  wrapParamsInRequestLine(first, "ping");
  wrapParamsInRequestLine(second, "ping");
  EXPECT_NE(first.substr(7, 36), second.substr(7, 36));
  EXPECT_EQ(first.substr(43), R"(","method":"ping","params":{}})"
                              "\n");
}

}  // namespace
}  // namespace mivet::bridge
