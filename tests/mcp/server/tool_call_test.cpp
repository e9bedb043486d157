#include "mcp/server/tool_call.h"

#include "common/json_reader.h"
#include "common/json_writer.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

// An answer as connectAndSendIPC reads it from a response object.
IPCResult answer(bool ok, std::optional<std::string> resultJson, std::optional<std::string> error) {
  IPCResult result{ok, std::nullopt, std::move(error), {}};
  if (resultJson) {
    auto parser = std::shared_ptr<JsonParser>(newJsonParser());
    simdjson::dom::element value;
    EXPECT_EQ(parser->shallow->parse(*resultJson).get(value), simdjson::SUCCESS);
    result.result = value;
    result.storage = parser;
  }
  return result;
}

TEST(ToolResultTextTest, SuccessfulResultsAreSortedCompactAndEscapeSlashes) {
  EXPECT_EQ(toolResultText(answer(true, R"({"z":1,"a":{"y":[{"b":2,"a":"http://x/y"}],"x":0}})",
                                  std::nullopt)),
            R"({"a":{"x":0,"y":[{"a":"http:\/\/x\/y","b":2}]},"z":1})");
  EXPECT_EQ(toolResultText(answer(true, R"([3, {"b":1,"a":2}])", std::nullopt)),
            R"([3,{"a":2,"b":1}])");
}

TEST(ToolResultTextTest, FailureTextPutsErrorBeforeOk) {
  EXPECT_EQ(toolResultText(answer(false, std::nullopt, "no such task")),
            R"({"error":"no such task","ok":false})");
  EXPECT_EQ(toolResultText(answer(false, std::nullopt, std::nullopt)),
            R"({"error":"unknown_error","ok":false})");
  EXPECT_EQ(toolResultText(answer(false, R"({"a":1})", "bad")), R"({"error":"bad","ok":false})");
}

TEST(ToolResultTextTest, SuccessWithoutAUsableResultFallsBackToTheFailureText) {
  EXPECT_EQ(toolResultText(answer(true, std::nullopt, std::nullopt)),
            R"({"error":"unknown_error","ok":false})");
  EXPECT_EQ(toolResultText(answer(true, "null", std::nullopt)),
            R"({"error":"unknown_error","ok":false})");
  EXPECT_EQ(toolResultText(answer(true, R"("text")", "why")), R"({"error":"why","ok":false})");
  EXPECT_EQ(toolResultText(answer(true, "42", std::nullopt)),
            R"({"error":"unknown_error","ok":false})");
}

TEST(ToolResultTextTest, UnwritableFailureTextGivesTheFixedLastResort) {
  EXPECT_EQ(toolResultText(answer(false, std::nullopt, "bad \xC3")),
            R"({"ok":false,"error":"unknown_error"})");
}

struct RecordedCall {
  std::string method;
  std::string params;
};

std::string callWith(std::string_view params, RecordedCall& seen, IPCResult reply) {
  auto document = parseJsonDocument(params);
  EXPECT_TRUE(document);
  return callTool(document->root, [&](std::string_view method, simdjson::dom::object p) {
    seen.method = method;
    seen.params.clear();
    JsonWriter(seen.params).element(p);
    return std::move(reply);
  });
}

TEST(CallToolTest, SendsNameAndArgumentsUnchanged) {
  RecordedCall seen;
  std::string result = callWith(
      R"({"name":"tasks_list","arguments":{"scope":"overdue","n":1.5,"x":[null,{"k":true}]},"extra":1})",
      seen, answer(true, R"({"tasks":[]})", std::nullopt));
  EXPECT_EQ(seen.method, "tasks_list");
  EXPECT_EQ(seen.params, R"({"scope":"overdue","n":1.5,"x":[null,{"k":true}]})");
  EXPECT_EQ(result, R"({"content":[{"type":"text","text":"{\"tasks\":[]}"}],"isError":false})");
}

TEST(CallToolTest, MissingOrMistypedNameAndArgumentsBecomeEmpty) {
  RecordedCall seen;
  callWith(R"({"arguments":[1,2]})", seen, answer(true, "{}", std::nullopt));
  EXPECT_EQ(seen.method, "");
  EXPECT_EQ(seen.params, "{}");
  callWith(R"({"name":7})", seen, answer(true, "{}", std::nullopt));
  EXPECT_EQ(seen.method, "");
  EXPECT_EQ(seen.params, "{}");
}

TEST(CallToolTest, IsErrorFollowsOkAlone) {
  RecordedCall seen;
  EXPECT_EQ(callWith(R"({"name":"x"})", seen, answer(true, std::nullopt, std::nullopt)),
            R"({"content":[{"type":"text","text":"{\"error\":\"unknown_error\",\"ok\":false}"}],)"
            R"("isError":false})");
  EXPECT_EQ(
      callWith(R"({"name":"x"})", seen, answer(false, std::nullopt, "mivet_app_not_running")),
      R"({"content":[{"type":"text","text":"{\"error\":\"mivet_app_not_running\",\"ok\":false}"}],)"
      R"("isError":true})");
}

}  // namespace
}  // namespace mivet::mcp
