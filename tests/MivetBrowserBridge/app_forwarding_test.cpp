#include "MivetBrowserBridge/app_forwarding.h"

#include "MivetBrowserBridge/request_line.h"
#include "MivetBrowserBridge/socket_path.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "tests/support/fake_app.h"
#include "tests/support/stuck_listener.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <regex>

namespace mivet::bridge {
namespace {

using test::FakeAnswer;

std::string compact(simdjson::dom::object object) {
  std::string text;
  JsonWriter writer(text);
  writer.element(object);
  return text;
}

// Forwards one message to `socketPath` and returns the reply as compact JSON.
std::string forward(const std::string& socketPath, std::string_view method = "ping",
                    const std::string& params = "{}",
                    int timeoutSeconds = appSocketTimeoutSeconds) {
  auto parsed = parseJsonDocument(params);
  FrameWorkspace workspace;
  appendParams(workspace.request, parsed->root);
  AppReply reply = forwardToMivetApp(socketPath, method, workspace, timeoutSeconds);
  return reply.text.empty() ? compact(reply.object) : std::string(reply.text);
}

// The reply to one forwarded ping when the application answers `answer`.
std::string replyTo(const FakeAnswer& answer) {
  test::TempDir dir;
  test::FakeApp app(dir.file("app.sock"), [&](const std::string&) { return answer; });
  return forward(app.socketPath());
}

TEST(BridgeForwarding, SendsOneCompactRequestPerMessageOnAFreshConnection) {
  test::TempDir dir;
  test::FakeApp app(dir.file("app.sock"),
                    [](const std::string&) { return test::lineAnswer(R"({"ok":true})"); });
  forward(app.socketPath(), "browser_heartbeat", R"({ "url" : "https://a.example/x", "n" : [1] })");
  forward(app.socketPath(), "ping");
  ASSERT_TRUE(app.waitForRequests(2, std::chrono::seconds(5)));
  auto requests = app.requests();
  EXPECT_EQ(app.connections(), 2);

  const std::regex shape(
      R"re(\{"id":"([0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12})",)re"
      R"re("method":"([a-z_]+)","params":(.*)\})re");
  std::smatch first, second;
  ASSERT_TRUE(std::regex_match(requests[0], first, shape)) << requests[0];
  ASSERT_TRUE(std::regex_match(requests[1], second, shape)) << requests[1];
  EXPECT_EQ(first[2], "browser_heartbeat");
  EXPECT_EQ(first[3], R"({"url":"https:\/\/a.example\/x","n":[1]})");
  EXPECT_EQ(second[2], "ping");
  EXPECT_EQ(second[3], "{}");
  EXPECT_NE(first[1], second[1]);
}

TEST(BridgeForwarding, ReturnsTheApplicationsAnswerWhole) {
  EXPECT_EQ(replyTo(test::lineAnswer(R"({"ok":true,"result":{"a":[1,"é"]},"id":"X"})")),
            R"({"ok":true,"result":{"a":[1,"é"]},"id":"X"})");
  EXPECT_EQ(replyTo(test::lineAnswer(R"({ "ok" : false, "error" : "its own" })")),
            R"({"ok":false,"error":"its own"})");
  EXPECT_EQ(replyTo(test::lineAnswer(R"({"result":3,"ok":"yes"})")), R"({"result":3,"ok":"yes"})");
  // Pieces are put together up to the first LF; what follows it is ignored.
  EXPECT_EQ(replyTo(FakeAnswer{
                "{\"ok\":true,\"n\":12345}\n{\"more\":1}\n", {}, 5, std::chrono::milliseconds(2)}),
            R"({"ok":true,"n":12345})");
}

TEST(BridgeForwarding, AnswersTheTextWalkLeavesAloneAreParsedAndRewritten) {
  EXPECT_EQ(replyTo(test::lineAnswer(R"({"ok":true,"n":1.50,"e":1E2})")),
            R"({"ok":true,"n":1.5,"e":100})");
  EXPECT_EQ(replyTo(test::lineAnswer(R"({"s":"\ud83d\ude80 \u00e9"})")), "{\"s\":\"🚀 é\"}");
}

TEST(BridgeForwarding, ParamsThatCouldNotBeSerialisedAreAnEncodeError) {
  test::TempDir dir;
  test::FakeApp app(dir.file("app.sock"),
                    [](const std::string&) { return test::lineAnswer(R"({"ok":true})"); });
  FrameWorkspace workspace;  // no params in workspace.request
  AppReply reply = forwardToMivetApp(app.socketPath(), "ping", workspace);
  EXPECT_EQ(compact(reply.object), R"({"ok":false,"error":"encode_error"})");
  EXPECT_TRUE(app.requests().empty());
}

TEST(BridgeForwarding, AnythingButAnObjectLineIsIpcEof) {
  const std::string ipcEof = R"({"ok":false,"error":"ipc_eof"})";
  EXPECT_EQ(replyTo(FakeAnswer{R"({"ok":true})"}), ipcEof);  // closed before its LF
  EXPECT_EQ(replyTo(FakeAnswer{""}), ipcEof);
  EXPECT_EQ(replyTo(test::lineAnswer("[]")), ipcEof);
  EXPECT_EQ(replyTo(test::lineAnswer("true")), ipcEof);
  EXPECT_EQ(replyTo(test::lineAnswer("")), ipcEof);
  EXPECT_EQ(replyTo(test::lineAnswer(R"({"ok":tr)")), ipcEof);
  EXPECT_EQ(replyTo(test::lineAnswer("{\"a\":\"\xff\"}")), ipcEof);
}

TEST(BridgeForwarding, UnreachableApplicationIsReportedWithoutRetry) {
  test::TempDir dir;
  EXPECT_EQ(forward(dir.file("nobody.sock")), R"({"ok":false,"error":"mivet_app_not_running"})");

  std::string base = dir.path() + "/";
  std::string fits = base + std::string(103 - base.size(), 's');
  test::FakeApp app(fits, [](const std::string&) { return test::lineAnswer(R"({"ok":true})"); });
  EXPECT_EQ(forward(fits), R"({"ok":true})");
  EXPECT_EQ(forward(fits + "x"), R"({"ok":false,"error":"socket_path_too_long"})");
  EXPECT_EQ(app.connections(), 1);
}

TEST(BridgeForwarding, AStuckApplicationIsIpcEof) {
  test::TempDir dir;
  test::StuckListener stuck(dir.file("stuck.sock"));
  if (!stuck.filled()) GTEST_SKIP() << "this system refuses connections to a full backlog";
  EXPECT_EQ(forward(dir.file("stuck.sock"), "ping", "{}", 1), R"({"ok":false,"error":"ipc_eof"})");
}

// With a 1-second time-out; one process test waits out the real 10 seconds.
TEST(BridgeForwarding, AppNeverReadingALargeRequestDoesNotHangTheExchange) {
  test::TempDir dir;
  test::FakeApp app(
      dir.file("app.sock"),
      [](const std::string&) { return test::lineAnswer(R"({"ok":true,"result":"after"})"); },
      [](int connection) -> std::optional<FakeAnswer> {
        if (connection > 1) return std::nullopt;
        FakeAnswer silence;
        silence.holdOpen = true;
        return silence;
      });
  // As large as a frame may be: the send waits out its time-out, then the read.
  const std::string large = R"({"text":")" + std::string(1000000, 't') + "\"}";
  EXPECT_EQ(forward(app.socketPath(), "browser_ingest_digest", large, 1),
            R"({"ok":false,"error":"ipc_eof"})");
  EXPECT_EQ(forward(app.socketPath(), "browser_ingest_digest", "{}", 1),
            R"({"ok":true,"result":"after"})");
  EXPECT_EQ(app.requests().size(), 1u);
}

TEST(BridgeSocketPath, TakesTheArgumentAfterTheFirstSocketOptionAnywhere) {
  EXPECT_EQ(defaultSocketPath({"bridge", "chrome-extension://abc/", "--socket", "/s a"}), "/s a");
  EXPECT_EQ(defaultSocketPath({"bridge", "--socket", "~/x", "chrome-extension://abc/"}), "~/x");
  EXPECT_EQ(defaultSocketPath({"bridge", "--socket", "--socket", "/b"}), "--socket");
  EXPECT_EQ(defaultSocketPath({"bridge", "--socket=/a", "--socket", "/b"}), "/b");
}

TEST(BridgeSocketPath, FallsBackToTheHomeDirectory) {
  const char* saved = std::getenv("HOME");
  std::string oldHome = saved ? saved : "";
  ::setenv("HOME", "/Users/someone", 1);
  const std::string expected = "/Users/someone/Library/Application Support/Mivet/ipc.sock";
  EXPECT_EQ(defaultSocketPath({"bridge"}), expected);
  EXPECT_EQ(defaultSocketPath({"bridge", "chrome-extension://abc/", "--socket"}), expected);
  EXPECT_EQ(defaultSocketPath({"bridge", "--Socket", "/x", "-socket", "/y"}), expected);
  if (saved) ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
}  // namespace mivet::bridge
