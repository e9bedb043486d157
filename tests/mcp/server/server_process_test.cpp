// Runs the built mivet-mcp over pipes against a fake desktop application.
#include "common/json_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_app.h"
#include "tests/support/sleeping_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unusual_json.h"

#include <gtest/gtest.h>

#include <regex>

namespace mivet::mcp {
namespace {

using test::FakeAnswer;
using test::lineAnswer;

constexpr std::string_view ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";
constexpr std::string_view pingAnswer = "{\"jsonrpc\":\"2.0\",\"id\":1,\"result\":{}}\n";

std::string callLine(int id, std::string_view name, std::string_view arguments = "{}") {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"tools/call","params":{"name":")" + std::string(name) + R"(","arguments":)" +
         std::string(arguments) + "}}\n";
}

class ServerProcessTest : public ::testing::Test {
 protected:
  test::ProcessResult serve(const std::string& input) {
    return test::runProcess({MIVET_MCP_BINARY, "--socket", socketPath()}, input,
                            test::withEnvironment({"HOME=" + dir.path()}));
  }
  std::string socketPath() const { return dir.file("app.sock"); }

  // The "text" of the tool result in a response line.
  static std::string toolText(const std::string& responseLine) {
    auto response = parseJsonDocument(responseLine);
    EXPECT_TRUE(response) << responseLine.substr(0, 200);
    if (!response) return "";
    auto text = response->root["result"]["content"].at(0)["text"].get_string();
    return std::string(text.value());
  }

  test::TempDir dir;
};

TEST_F(ServerProcessTest, EmptyInputExitsQuietly) {
  auto result = serve("");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
}

TEST_F(ServerProcessTest, LineEndingsCrLfAndAFinalLineWithoutLf) {
  std::string p(ping);
  auto result = serve(p + "\r\n" + p + "\n\n\r\n" + p);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            std::string(pingAnswer) + std::string(pingAnswer) + std::string(pingAnswer));
}

TEST_F(ServerProcessTest, MalformedLinesAreDroppedAndServingGoesOn) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i)
    garbage += static_cast<char>((i * 7919) % 256 == 10 ? 0 : (i * 7919) % 256);
  std::string input = "   \n" + garbage + "\n" +
                      std::string("{\"id\":1,\0\"method\":\"ping\"}\n", 27) +
                      R"([{"id":1,"method":"ping"}])" + "\n" + R"({"id":1})" + "\n" +
                      R"({"method":"ping"})" + "\n" + std::string(ping) + "\n";
  auto result = serve(input);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, pingAnswer);
}

TEST_F(ServerProcessTest, InvalidUtf8IsReplacedBeforeParsing) {
  auto result = serve("{\"id\":2,\"method\":\"bad\xFFname\"}\n");
  EXPECT_EQ(result.out,
            "{\"jsonrpc\":\"2.0\",\"id\":2,\"error\":{\"code\":-32601,"
            "\"message\":\"Method not found: bad\xEF\xBF\xBDname\"}}\n");
}

TEST_F(ServerProcessTest, DeepNestingStopsAt512Levels) {
  auto params = [](int depth) {
    return R"({"id":1,"method":"ping","params":{"a":)" + std::string(depth - 2, '[') +
           std::string(depth - 2, ']') + "}}\n";
  };
  auto result = serve(params(512) + params(513) + params(100000) + std::string(ping) + "\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, std::string(pingAnswer) + std::string(pingAnswer));
}

TEST_F(ServerProcessTest, DeepArgumentsPassThroughToTheApplicationUnchanged) {
  std::string deep = std::string(509, '[') + "7" + std::string(509, ']');  // 512 levels in the line
  test::FakeApp app(socketPath(),
                    [](const std::string&) { return lineAnswer(R"({"ok":true,"result":{}})"); });
  auto result = serve(callLine(1, "tasks_add", R"({"x":)" + deep + "}"));
  ASSERT_EQ(app.requests().size(), 1u);
  EXPECT_NE(app.requests()[0].find(R"("params":{"x":)" + deep + "}"), std::string::npos);
}

TEST_F(ServerProcessTest, HugeLineDoesNotStopTheServer) {
  std::string huge =
      R"({"id":1,"method":"ping","params":{"blob":")" + std::string(50 << 20, 'x') + "\"}}\n";
  auto result = serve(huge + "{\"id\":1,\"method\":\"ping\",\"params\":{\"x\":\"" +
                      std::string(50 << 20, 'y') + "\n" + std::string(ping) + "\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, std::string(pingAnswer) + std::string(pingAnswer));
}

TEST_F(ServerProcessTest, NumbersOfAnySizeAndLoneSurrogatesTravelExactlyBothWays) {
  for (const std::string& value : test::unusualJsonValues) {
    test::FakeApp app(socketPath(), [&](const std::string&) {
      return lineAnswer(R"({"ok":true,"result":{"v":)" + value + "}}");
    });
    auto result = serve(R"({"jsonrpc":"2.0","id":)" + value +
                        R"(,"method":"tools/call","params":{"name":"tasks_add","arguments":{"v":)" +
                        value + "}}}\n");
    ASSERT_EQ(app.requests().size(), 1u) << value;
    EXPECT_NE(app.requests()[0].find(R"("params":{"v":)" + value + "}"), std::string::npos)
        << app.requests()[0];
    std::string inText = std::regex_replace(value, std::regex(R"((["\\]))"), "\\$1");
    EXPECT_EQ(result.out, R"({"jsonrpc":"2.0","id":)" + value +
                              R"(,"result":{"content":[{"type":"text","text":"{\"v\":)" + inText +
                              R"(}"}],"isError":false}})" + "\n");
  }
}

TEST_F(ServerProcessTest, NonBlockingStdinAndStdoutAreWaitedFor) {
  const std::string blob(200000, 'b');
  test::FakeApp app(socketPath(), [&](const std::string&) {
    return lineAnswer(R"({"ok":true,"result":{"blob":")" + blob + "\"}}");
  });
  test::ProcessOptions options;
  options.nonBlockingStdio = true;
  options.fullStdout = true;
  test::ChildProcess server({MIVET_MCP_BINARY, "--socket", socketPath()}, options);
  ASSERT_TRUE(test::waitUntilSleepingIn(test::BlockingCall::poll, server.pid(), server.pid()))
      << "it did not wait for its empty stdin";
  server.write(callLine(1, "tasks_list") + std::string(ping) + "\n");
  ASSERT_TRUE(app.waitForRequests(1, std::chrono::seconds(10)));
  ASSERT_TRUE(test::waitUntilSleepingIn(test::BlockingCall::poll, server.pid(), server.pid()))
      << "it did not wait for room in its full stdout";
  auto answer = server.readLine();
  ASSERT_TRUE(answer);
  EXPECT_EQ(toolText(*answer), R"({"blob":")" + blob + "\"}");
  EXPECT_EQ(server.readLine().value_or("") + "\n", pingAnswer);
  auto result = server.wait();
  EXPECT_EQ(result.exitStatus, 0);
}

TEST_F(ServerProcessTest, ToolCallCarriesNameAndArgumentsToTheApplication) {
  test::FakeApp app(socketPath(), [](const std::string&) {
    return lineAnswer(R"({"ok":true,"result":{"z":"a/b","a":[1,{"d":1,"c":2}]},"id":"x"})");
  });
  auto result = serve(callLine(5, "tasks_list", R"({"scope":"overdue"})"));
  ASSERT_EQ(app.requests().size(), 1u);
  auto request = parseJsonDocument(app.requests()[0]);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->root.size(), 3u);
  EXPECT_EQ(stringMember(request->root, "method"), "tasks_list");
  std::string params = simdjson::minify(request->root["params"]);
  EXPECT_EQ(params, R"({"scope":"overdue"})");
  EXPECT_EQ(result.out,
            "{\"jsonrpc\":\"2.0\",\"id\":5,\"result\":{\"content\":[{\"type\":\"text\",\"text\":"
            "\"{\\\"a\\\":[1,{\\\"c\\\":2,\\\"d\\\":1}],\\\"z\\\":\\\"a\\\\\\/b\\\"}\"}],"
            "\"isError\":false}}\n");
}

TEST_F(ServerProcessTest, EveryCallUsesAFreshConnectionAndAFreshId) {
  test::FakeApp app(socketPath(),
                    [](const std::string&) { return lineAnswer(R"({"ok":true,"result":[]})"); });
  auto result = serve(callLine(1, "tasks_list") + callLine(2, "tasks_list"));
  ASSERT_EQ(app.requests().size(), 2u);
  EXPECT_EQ(app.connections(), 2);
  auto id = [&](int i) {
    return std::string(*stringMember(parseJsonDocument(app.requests()[i])->root, "id"));
  };
  EXPECT_NE(id(0), id(1));
  EXPECT_TRUE(std::regex_match(
      id(0), std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
}

TEST_F(ServerProcessTest, BrokenAnswersBecomeFailuresAndServingGoesOn) {
  std::vector<FakeAnswer> answers = {
      FakeAnswer{"garbage\n"},
      FakeAnswer{"[]\n"},
      FakeAnswer{"{\"ok\":true,\"result\":{}}"},  // closed before the LF
      FakeAnswer{"\n"},
  };
  std::size_t next = 0;
  test::FakeApp app(socketPath(), [&](const std::string&) { return answers[next++]; });
  std::string input;
  for (std::size_t i = 0; i < answers.size(); ++i)
    input += callLine(static_cast<int>(i), "tasks_list");
  input += std::string(ping) + "\n";
  auto result = serve(input);
  auto lines = result.out;
  std::size_t count = 0;
  for (std::size_t at = 0; (at = lines.find("ipc_read_failed", at)) != std::string::npos; ++at)
    ++count;
  EXPECT_EQ(count, answers.size());
  EXPECT_TRUE(result.out.ends_with(pingAnswer));
}

TEST_F(ServerProcessTest, LargeAndChunkedAnswersAreReassembled) {
  std::string big = R"({"ok":true,"result":{"blob":")" + std::string(20 << 20, 'r') + "\"}}\n";
  std::string small = R"({"ok":true,"result":{"tasks":[{"title":"é"}]}})"
                      "\n";
  std::vector<FakeAnswer> answers = {FakeAnswer{big, {}, 65536}, FakeAnswer{small, {}, 1}};
  std::size_t next = 0;
  test::FakeApp app(socketPath(), [&](const std::string&) { return answers[next++]; });
  test::ChildProcess server({MIVET_MCP_BINARY, "--socket", socketPath()});
  server.write(callLine(1, "tasks_list"));
  auto first = server.readLine();
  ASSERT_TRUE(first);
  EXPECT_EQ(toolText(*first), R"({"blob":")" + std::string(20 << 20, 'r') + "\"}");
  server.write(callLine(2, "tasks_list"));
  auto second = server.readLine();
  ASSERT_TRUE(second);
  EXPECT_EQ(toolText(*second), R"({"tasks":[{"title":"é"}]})");
}

TEST_F(ServerProcessTest, ExplicitSocketNeverLaunchesTheApplication) {
  auto result = serve(callLine(1, "tasks_add", R"({"title":"t"})"));
  EXPECT_EQ(toolText(result.out), R"({"error":"mivet_app_not_running","ok":false})");
  EXPECT_NE(result.out.find("\"isError\":true"), std::string::npos);
}

TEST_F(ServerProcessTest, ResponsesLeaveBeforeTheNextLineIsRead) {
  test::ChildProcess server({MIVET_MCP_BINARY, "--socket", socketPath()});
  for (int i = 0; i < 3; ++i) {
    server.write(std::string(ping) + "\n");
    EXPECT_EQ(server.readLine(), std::string(pingAnswer.substr(0, pingAnswer.size() - 1)));
  }
  EXPECT_FALSE(server.outputPending(std::chrono::milliseconds(50)));
  EXPECT_EQ(server.wait().exitStatus, 0);
}

TEST_F(ServerProcessTest, SilentApplicationTimesOutAfterFifteenSeconds) {
  test::FakeApp app(socketPath(), [](const std::string&) {
    return FakeAnswer{"{\"ok\":true}\n", std::chrono::seconds(16)};
  });
  auto started = std::chrono::steady_clock::now();
  auto result = serve(callLine(1, "tasks_list") + std::string(ping) + "\n");
  auto waited = std::chrono::steady_clock::now() - started;
  EXPECT_NE(result.out.find("ipc_read_failed"), std::string::npos);
  EXPECT_TRUE(result.out.ends_with(pingAnswer));
  EXPECT_GE(waited, std::chrono::seconds(14));
}

}  // namespace
}  // namespace mivet::mcp
