#include "mcp/server/message_loop.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

class ResponseForLineTest : public ::testing::Test {
 protected:
  std::optional<std::string> respond(std::string_view line) {
    return responseForLine(line, *parser, [this](std::string_view method, simdjson::dom::object) {
      appMethods.emplace_back(method);
      return IPCResult{true, std::nullopt, std::nullopt, {}};
    });
  }

  std::unique_ptr<JsonParser> parser = newJsonParser();
  std::vector<std::string> appMethods;
};

TEST_F(ResponseForLineTest, EchoesTheIdWithItsOwnType) {
  EXPECT_EQ(respond(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"),
            "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}\n");
  EXPECT_EQ(respond(R"({"id":"abc","method":"ping","jsonrpc":"1.0"})"),
            "{\"jsonrpc\":\"2.0\",\"id\":\"abc\",\"result\":{}}\n");
  EXPECT_EQ(respond(R"({"id":null,"method":"ping"})"),
            "{\"jsonrpc\":\"2.0\",\"id\":null,\"result\":{}}\n");
  EXPECT_EQ(respond(R"({"id":{"b":[1.0,"x/y"],"a":false},"method":"ping"})"),
            "{\"jsonrpc\":\"2.0\",\"id\":{\"b\":[1,\"x\\/y\"],\"a\":false},\"result\":{}}\n");
}

TEST_F(ResponseForLineTest, DropsWhatIsNotARequest) {
  for (std::string_view line :
       {R"([{"id":1,"method":"ping"}])", R"({"id":1})", R"({"id":1,"method":5})", "not json", "   ",
        R"("ping")", R"({"method":"ping"})", R"({"id":1,"method":"ping"} x)"}) {
    EXPECT_EQ(respond(line), std::nullopt) << line;
  }
}

TEST_F(ResponseForLineTest, NotificationsNeverReachTheApplication) {
  EXPECT_EQ(respond(R"({"method":"tools/call","params":{"name":"tasks_add"}})"), std::nullopt);
  EXPECT_TRUE(appMethods.empty());
  EXPECT_TRUE(respond(R"({"id":3,"method":"tools/call","params":{"name":"tasks_add"}})"));
  EXPECT_EQ(appMethods, std::vector<std::string>{"tasks_add"});
}

TEST_F(ResponseForLineTest, NonObjectParamsCountAsEmpty) {
  EXPECT_EQ(
      respond(R"({"id":1,"method":"initialize","params":"2025-06-18"})")->find("2024-11-05") !=
          std::string::npos,
      true);
  EXPECT_TRUE(respond(R"({"id":1,"method":"tools/call","params":[1]})"));
  EXPECT_EQ(appMethods, std::vector<std::string>{""});
}

TEST_F(ResponseForLineTest, ErrorEnvelopeCarriesCodeAndMessage) {
  EXPECT_EQ(respond(R"({"id":9,"method":"prompts/get"})"),
            "{\"jsonrpc\":\"2.0\",\"id\":9,\"error\":{\"code\":-32601,"
            "\"message\":\"Method not found: prompts\\/get\"}}\n");
}

}  // namespace
}  // namespace mivet::mcp
