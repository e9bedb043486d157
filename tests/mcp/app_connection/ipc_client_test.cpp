#include "mcp/app_connection/ipc_client.h"

#include "common/json_reader.h"
#include "common/json_writer.h"
#include "tests/support/fake_app.h"
#include "tests/support/stuck_listener.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>

namespace mivet::mcp {
namespace {

using test::FakeAnswer;
using test::lineAnswer;

std::string resultJson(const IPCResult& result) {
  std::string out;
  if (result.result) JsonWriter(out).element(*result.result);
  return out;
}

class IpcClientTest : public ::testing::Test {
 protected:
  IPCResult send(std::string_view method = "tasks_list", std::string_view params = "{}",
                 int timeoutSeconds = ipcTimeoutSeconds) {
    auto document = parseJsonDocument(params);
    return connectAndSendIPC(socketPath(), method, document->root, timeoutSeconds);
  }
  IPCResult answeredWith(FakeAnswer answer) {
    test::FakeApp app(socketPath(), [&](const std::string&) { return answer; });
    return send();
  }
  std::string socketPath() const { return dir.file("app.sock"); }

  test::TempDir dir;
};

TEST_F(IpcClientTest, RequestIsOneLineWithIdMethodAndParams) {
  test::FakeApp app(socketPath(), [](const std::string&) { return lineAnswer(R"({"ok":true})"); });
  send("tasks_add", R"({"title":"a/b","n":[1,2.5]})");
  send("tasks_add", "{}");
  ASSERT_EQ(app.requests().size(), 2u);
  auto first = parseJsonDocument(app.requests()[0]);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->root.size(), 3u);
  EXPECT_EQ(stringMember(first->root, "method"), "tasks_add");
  std::string id(*stringMember(first->root, "id"));
  EXPECT_TRUE(std::regex_match(
      id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
  EXPECT_NE(app.requests()[0].find(R"("params":{"title":"a\/b","n":[1,2.5]})"), std::string::npos);
  EXPECT_NE(*stringMember(parseJsonDocument(app.requests()[1])->root, "id"), id);
}

TEST_F(IpcClientTest, ReadsOkResultAndErrorIndependently) {
  auto all = answeredWith(lineAnswer(R"({"ok":true,"result":{"a":1},"error":"e","x":0})"));
  EXPECT_TRUE(all.ok);
  EXPECT_EQ(resultJson(all), R"({"a":1})");
  EXPECT_EQ(all.error, "e");

  auto stringOk = answeredWith(lineAnswer(R"({"ok":"true","result":1})"));
  EXPECT_FALSE(stringOk.ok);
  EXPECT_EQ(resultJson(stringOk), "1");
  EXPECT_EQ(stringOk.error, std::nullopt);

  auto numberError = answeredWith(lineAnswer(R"({"ok":false,"error":42})"));
  EXPECT_FALSE(numberError.ok);
  EXPECT_EQ(numberError.error, std::nullopt);

  auto nullResult = answeredWith(lineAnswer(R"({"ok":true,"result":null})"));
  EXPECT_TRUE(nullResult.ok);
  EXPECT_EQ(resultJson(nullResult), "null");

  auto empty = answeredWith(lineAnswer("{}"));
  EXPECT_FALSE(empty.ok);
  EXPECT_FALSE(empty.result);
  EXPECT_FALSE(empty.error);
}

TEST_F(IpcClientTest, UnusableAnswersAreReadFailures) {
  for (const auto& bytes : {"[]\n", "true\n", "\n", "{\"ok\":true}", "{\"ok\":tr\n", ""}) {
    auto result = answeredWith(FakeAnswer{bytes});
    EXPECT_FALSE(result.ok) << bytes;
    EXPECT_EQ(result.error, "ipc_read_failed") << bytes;
  }
}

TEST_F(IpcClientTest, AnswerInPiecesIsReassembledAndTrailingBytesIgnored) {
  std::string title(5000, 't');
  auto result =
      answeredWith(FakeAnswer{R"({"ok":true,"result":{"title":")" + title + "\"}}\nnoise",
                              std::chrono::milliseconds(0), 1800, std::chrono::milliseconds(20)});
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(resultJson(result), R"({"title":")" + title + "\"}");
}

TEST_F(IpcClientTest, ConnectionFailureCodes) {
  EXPECT_EQ(send().error, "mivet_app_not_running");
  std::string longPath = dir.path() + "/" + std::string(104 - dir.path().size(), 'p');
  ASSERT_EQ(longPath.size(), 105u);
  auto document = parseJsonDocument("{}");
  EXPECT_EQ(connectAndSendIPC(longPath.substr(0, 104), "m", document->root).error,
            "socket_path_too_long");
}

// The time-out checks below use a 1-second time-out; one process test waits
// out the real 15 seconds.
TEST_F(IpcClientTest, AppNeverReadingALargeRequestDoesNotHangTheExchange) {
  test::FakeApp app(
      socketPath(),
      [](const std::string&) { return lineAnswer(R"({"ok":true,"result":"after"})"); },
      [](int connection) -> std::optional<FakeAnswer> {
        if (connection > 1) return std::nullopt;
        FakeAnswer silence;
        silence.holdOpen = true;
        return silence;
      });
  // Far more than a socket buffer holds: the send waits out its time-out, then the read.
  const std::string large = R"({"notes":")" + std::string(8 << 20, 'n') + "\"}";
  EXPECT_EQ(send("tasks_add", large, 1).error, "ipc_read_failed");
  EXPECT_EQ(resultJson(send("tasks_add", "{}", 1)), R"("after")");
  EXPECT_EQ(app.requests().size(), 1u);
}

TEST_F(IpcClientTest, AnswerInsideTheTimeOutIsStillInTime) {
  test::FakeApp app(socketPath(), [](const std::string&) {
    return FakeAnswer{"{\"ok\":true,\"result\":\"slow\"}\n", std::chrono::milliseconds(500)};
  });
  auto result = send("tasks_add", "{}", 1);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(resultJson(result), R"("slow")");
}

TEST_F(IpcClientTest, AnswerAfterTheTimeOutIsTooLate) {
  test::FakeApp app(socketPath(), [](const std::string& line) {
    bool late = line.find(R"("marker":"late")") != std::string::npos;
    return FakeAnswer{"{\"ok\":true,\"result\":\"" + std::string(late ? "late" : "next") + "\"}\n",
                      std::chrono::milliseconds(late ? 1500 : 0)};
  });
  EXPECT_EQ(send("tasks_add", R"({"marker":"late"})", 1).error, "ipc_read_failed");
  EXPECT_EQ(resultJson(send("tasks_add", R"({"marker":"next"})", 1)), R"("next")");
}

struct RetryProbe {
  int launches = 0;
  int pauses = 0;
};

IPCResult sendWithRetry(
    const SocketConfig& config, RetryProbe& probe,
    const std::function<void(int)>& onPause = [](int) {}, int timeoutSeconds = ipcTimeoutSeconds,
    const AppConnector& connect = connectToAppSocket) {
  auto document = parseJsonDocument("{}");
  AppAccess access{connect, [&] { ++probe.launches; },
                   [&](unsigned microseconds) {
                     EXPECT_EQ(microseconds, 150000u);
                     onPause(++probe.pauses);
                   }};
  return sendIPC(config, "tasks_list", document->root, access, timeoutSeconds);
}

TEST_F(IpcClientTest, ExplicitSocketIsNeverLaunched) {
  RetryProbe probe;
  auto result = sendWithRetry({socketPath(), false}, probe);
  EXPECT_EQ(result.error, "mivet_app_not_running");
  EXPECT_EQ(probe.launches, 0);
  EXPECT_EQ(probe.pauses, 0);
}

TEST_F(IpcClientTest, DefaultSocketLaunchesOnceAndGivesUpAfterThirtyRetries) {
  RetryProbe probe;
  auto result = sendWithRetry({socketPath(), true}, probe);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, "Mivet.app is not running. Open Mivet on your Mac and try again.");
  EXPECT_EQ(probe.launches, 1);
  EXPECT_EQ(probe.pauses, 30);
}

TEST_F(IpcClientTest, RetriesStopAtTheFirstAnswerAfterTheLaunch) {
  RetryProbe probe;
  std::unique_ptr<test::FakeApp> app;
  auto result = sendWithRetry({socketPath(), true}, probe, [&](int pause) {
    if (pause == 7) {
      app = std::make_unique<test::FakeApp>(socketPath(), [](const std::string&) {
        return lineAnswer(R"({"ok":true,"result":[1]})");
      });
    }
  });
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(resultJson(result), "[1]");
  EXPECT_EQ(probe.launches, 1);
  EXPECT_EQ(probe.pauses, 7);
  EXPECT_EQ(app->connections(), 1);
}

TEST_F(IpcClientTest, AnAnswerOfNotRunningCountsAsNotRunning) {
  test::FakeApp app(socketPath(), [](const std::string&) {
    return lineAnswer(R"({"ok":false,"error":"mivet_app_not_running"})");
  });
  RetryProbe probe;
  EXPECT_EQ(sendWithRetry({socketPath(), false}, probe).error, "mivet_app_not_running");
  EXPECT_EQ(app.connections(), 1);
  auto result = sendWithRetry({socketPath(), true}, probe);
  EXPECT_EQ(result.error, appNeverAnsweredMessage);
  EXPECT_EQ(app.connections(), 1 + 31);
}

TEST_F(IpcClientTest, AStuckApplicationFailsOnceWithoutALaunchOrRetries) {
  test::StuckListener stuck(socketPath());
  if (!stuck.filled()) GTEST_SKIP() << "this system refuses connections to a full backlog";
  RetryProbe probe;
  auto result = sendWithRetry(
      {socketPath(), true}, probe, [](int) {}, 1);
  EXPECT_EQ(result.error, "ipc_read_failed");
  EXPECT_EQ(probe.launches, 0);
  EXPECT_EQ(probe.pauses, 0);
}

// Shown above where a backlog can be filled; this holds wherever it cannot.
TEST_F(IpcClientTest, AConnectThatTimesOutFailsOnceWithoutALaunchOrRetries) {
  RetryProbe probe;
  int connects = 0;
  auto timingOut = [&](const std::string&, int) -> std::variant<UniqueFd, ConnectFailure> {
    ++connects;
    return ConnectFailure::timedOut;
  };
  auto result = sendWithRetry(
      {socketPath(), true}, probe, [](int) {}, 1, timingOut);
  EXPECT_EQ(result.error, "ipc_read_failed");
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(probe.launches, 0);
  EXPECT_EQ(probe.pauses, 0);
}

TEST_F(IpcClientTest, OtherFailuresDuringRetriesEndThemAtOnce) {
  RetryProbe probe;
  std::unique_ptr<test::FakeApp> app;
  auto result = sendWithRetry({socketPath(), true}, probe, [&](int pause) {
    if (pause == 2) {
      app = std::make_unique<test::FakeApp>(socketPath(),
                                            [](const std::string&) { return FakeAnswer{""}; });
    }
  });
  EXPECT_EQ(result.error, "ipc_read_failed");
  EXPECT_EQ(probe.pauses, 2);
}

}  // namespace
}  // namespace mivet::mcp
