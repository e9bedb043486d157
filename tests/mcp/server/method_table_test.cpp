#include "mcp/server/method_table.h"

#include "common/json_reader.h"
#include "mcp/server/tool_catalogue.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

IPCResult unreachable(std::string_view, simdjson::dom::object) {
  ADD_FAILURE() << "no method but tools/call may reach the application";
  return {};
}

MethodOutcome call(std::string_view method, std::string_view params = "{}") {
  auto document = parseJsonDocument(params);
  EXPECT_TRUE(document);
  return handleRequest(method, document->root, unreachable);
}

std::string versionFor(std::string_view params) {
  auto result = parseJsonDocument(call("initialize", params).result);
  return std::string(*stringMember(result->root, "protocolVersion"));
}

TEST(MethodTableTest, InitializeEchoesSupportedVersionsAndFallsBackToTheOldest) {
  for (auto version : supportedProtocolVersions) {
    EXPECT_EQ(versionFor(R"({"protocolVersion":")" + std::string(version) + "\"}"), version);
  }
  EXPECT_EQ(versionFor(R"({"protocolVersion":"2099-01-01"})"), "2024-11-05");
  EXPECT_EQ(versionFor(R"({"protocolVersion":20250618})"), "2024-11-05");
  EXPECT_EQ(versionFor(R"({"protocolVersion":null})"), "2024-11-05");
  EXPECT_EQ(versionFor("{}"), "2024-11-05");
}

TEST(MethodTableTest, InitializeResultHasExactlyItsFourMembers) {
  MethodOutcome first = call("initialize", R"({"protocolVersion":"2025-03-26"})");
  EXPECT_EQ(first.result,
            R"({"protocolVersion":"2025-03-26","capabilities":{"tools":{"listChanged":false}},)"
            R"("serverInfo":{"name":"mivet","version":"1.0.0"},"instructions":")" +
                std::string(serverInstructions) + "\"}");
  EXPECT_EQ(call("initialize", R"({"protocolVersion":"2025-03-26"})").result, first.result);
  EXPECT_EQ(serverInstructions.size(), 229u);
}

TEST(MethodTableTest, FixedAnswers) {
  EXPECT_EQ(call("ping", R"({"x":[1]})").result, "{}");
  EXPECT_EQ(call("resources/list", R"({"cursor":"c"})").result, R"({"resources":[]})");
  EXPECT_EQ(call("prompts/list").result, R"({"prompts":[]})");
  EXPECT_EQ(call("tools/list").result, R"({"tools":)" + toolDefinitions() + "}");
  EXPECT_FALSE(call("ping").errorMessage);
}

TEST(MethodTableTest, UnknownMethodsAreNotFoundWithTheirExactName) {
  EXPECT_EQ(call("Ping").errorMessage, "Method not found: Ping");
  EXPECT_EQ(call("resources/read").errorMessage, "Method not found: resources/read");
  EXPECT_EQ(call("logging/setLevel").errorMessage, "Method not found: logging/setLevel");
  EXPECT_EQ(call("").errorMessage, "Method not found: ");
  EXPECT_EQ(call("a \"q\" é").errorMessage, "Method not found: a \"q\" é");
}

}  // namespace
}  // namespace mivet::mcp
