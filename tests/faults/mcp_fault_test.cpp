// Faults of the desktop application and of the assistant, injected around
// the built mivet-mcp. A silent or slow application is met with a short
// time-out in ipc_client_test.cpp; server_process_test.cpp waits out the real one.
#include "tests/faults/clean_exit.h"
#include "tests/faults/fault_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <memory>

namespace mivet::faults {
namespace {

using namespace std::chrono_literals;

std::string markerArguments(std::string_view marker) {
  return R"({"marker":")" + std::string(marker) + "\"}";
}

// Arguments far larger than what a socket buffer holds.
std::string largeArguments(std::string_view marker) {
  return R"({"marker":")" + std::string(marker) + R"(","notes":")" + std::string(8 << 20, 'n') +
         "\"}";
}

ToolReply echoed(int id, std::string_view marker) {
  return {std::to_string(id), echoedResult("tasks_add", marker), false};
}

ToolReply failed(int id, std::string_view code) {
  return {std::to_string(id), failureText(code), true};
}

test::FakeAnswer delayed(test::FakeAnswer answer, std::chrono::milliseconds delay) {
  answer.delay = delay;
  return answer;
}

class McpFaults : public ::testing::Test {
 protected:
  // Started as an assistant starts it: every signal at its default action.
  std::unique_ptr<test::ChildProcess> startServer(bool defaultSignals = true) const {
    test::ProcessOptions options = test::withEnvironment({"HOME=" + dir.path()});
    options.defaultSignals = defaultSignals;
    return std::make_unique<test::ChildProcess>(
        std::vector<std::string>{MIVET_MCP_BINARY, "--socket", socketPath}, options);
  }

  static std::optional<ToolReply> call(test::ChildProcess& server, int id,
                                       std::string_view argumentsJson,
                                       std::chrono::milliseconds timeout = 10s) {
    server.write(toolCallLine(id, "tasks_add", argumentsJson));
    auto line = server.readLine(timeout);
    return line ? parseToolReply(*line) : std::nullopt;
  }

  test::TempDir dir;
  std::string socketPath = dir.file("app.sock");
};

TEST_F(McpFaults, AppDyingMidAnswerFailsThatCallAndServingGoesOn) {
  test::ChildProcess app({MIVET_FAULT_APP_BINARY, socketPath});
  ASSERT_EQ(app.readLine(10s), "ready");
  auto server = startServer();
  EXPECT_EQ(call(*server, 1, markerArguments("before")), echoed(1, "before"));

  EXPECT_EQ(call(*server, 2, R"({"dieMidAnswer":true})"), failed(2, "ipc_read_failed"));
  auto death = waitForExit(app, 10s);
  ASSERT_TRUE(death);
  EXPECT_EQ(death->termSignal, SIGKILL);

  // The dead application left its socket file behind, with nobody listening.
  EXPECT_EQ(call(*server, 3, markerArguments("dead")), failed(3, "mivet_app_not_running"));
  test::FakeApp restarted(socketPath, echoAnswer);
  EXPECT_EQ(call(*server, 4, markerArguments("after")), echoed(4, "after"));
  expectCleanExitAtEndOfInput(*server);
}

TEST_F(McpFaults, AppHangingUpAtOnceFailsTheCallEvenInTheMiddleOfSendingIt) {
  // The first two connections are closed before a byte is read.
  test::FakeApp app(socketPath, echoAnswer, [](int connection) -> std::optional<test::FakeAnswer> {
    if (connection <= 2) return test::FakeAnswer{};
    return std::nullopt;
  });
  auto server = startServer();
  EXPECT_EQ(call(*server, 1, markerArguments("small")), failed(1, "ipc_read_failed"));
  // Still sending when the app hangs up: the broken connection must not end the server.
  EXPECT_EQ(call(*server, 2, largeArguments("large")), failed(2, "ipc_read_failed"));
  EXPECT_EQ(call(*server, 3, markerArguments("after")), echoed(3, "after"));
  EXPECT_EQ(app.requests().size(), 1u);
  expectCleanExitAtEndOfInput(*server);
}

// The answer cannot be delivered: the server may end at that write (broken
// pipe) or go on until the end of its input, but it must end.
TEST_F(McpFaults, AssistantClosingStdoutBeforeTheAnswerDoesNotHangTheServer) {
  for (bool defaultSignals : {true, false}) {
    SCOPED_TRACE(defaultSignals ? "broken-pipe signal at its default action"
                                : "broken-pipe signal ignored");
    test::FakeApp app(socketPath,
                      [](const std::string& line) { return delayed(echoAnswer(line), 200ms); });
    auto server = startServer(defaultSignals);
    server->write(toolCallLine(1, "tasks_add", markerArguments("lost")));
    server->closeStdout();
    ASSERT_TRUE(app.waitForRequests(1, 10s));
    server->write(toolCallLine(2, "tasks_add", markerArguments("also lost")) +
                  R"({"jsonrpc":"2.0","id":3,"method":"ping"})" + "\n");
    server->closeStdin();

    auto result = waitForExit(*server, 10s);
    ASSERT_TRUE(result) << "still running 10 s after the end of its input";
    EXPECT_TRUE(result->exitStatus == 0 || result->termSignal == SIGPIPE)
        << "exit status " << result->exitStatus << ", signal " << result->termSignal;
    EXPECT_EQ(result->err, "");
  }
}

}  // namespace
}  // namespace mivet::faults
