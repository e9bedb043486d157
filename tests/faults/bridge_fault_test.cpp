// Faults of the desktop application injected around the built
// mivet-browser-bridge. A silent application is met with a short time-out in
// app_forwarding_test.cpp; bridge_process_test.cpp waits out the real one.
#include "tests/faults/clean_exit.h"
#include "tests/faults/fault_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <memory>

namespace mivet::faults {
namespace {

using namespace std::chrono_literals;

const std::string origin = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/";

std::string digest(std::string_view marker, std::size_t filler = 0) {
  std::string payload = R"({"marker":")" + std::string(marker) + "\"";
  if (filler > 0) payload += R"(,"text":")" + std::string(filler, 't') + "\"";
  return frame(R"({"type":"digest","payload":)" + payload + "}}");
}

// A digest as large as a frame may be: far more than a socket buffer holds.
std::string largeDigest(std::string_view marker) {
  return digest(marker, 1000000);
}

std::string echoed(std::string_view marker) {
  return R"({"ok":true,"result":)" + echoedResult("browser_ingest_digest", marker) + "}";
}

class BridgeFaults : public ::testing::Test {
 protected:
  // Started as the browser starts it: every signal at its default action.
  std::unique_ptr<test::ChildProcess> startBridge() const {
    test::ProcessOptions options;
    options.defaultSignals = true;
    return std::make_unique<test::ChildProcess>(
        std::vector<std::string>{MIVET_BRIDGE_BINARY, origin, "--socket", socketPath}, options);
  }

  static std::optional<std::string> send(test::ChildProcess& bridge, const std::string& frame,
                                         std::chrono::milliseconds timeout = 10s) {
    bridge.write(frame);
    return readFrame(bridge, timeout);
  }

  test::TempDir dir;
  std::string socketPath = dir.file("app.sock");
};

TEST_F(BridgeFaults, AppDyingMidAnswerFailsThatMessageAndServingGoesOn) {
  test::ChildProcess app({MIVET_FAULT_APP_BINARY, socketPath});
  ASSERT_EQ(app.readLine(10s), "ready");
  auto bridge = startBridge();
  EXPECT_EQ(send(*bridge, digest("before")), echoed("before"));

  const std::string dying = frame(R"({"type":"digest","payload":{"dieMidAnswer":true}})");
  EXPECT_EQ(send(*bridge, dying), bridgeFailure("ipc_eof"));
  auto death = waitForExit(app, 10s);
  ASSERT_TRUE(death);
  EXPECT_EQ(death->termSignal, SIGKILL);

  // The dead application left its socket file behind, with nobody listening.
  EXPECT_EQ(send(*bridge, frame("{}")), bridgeFailure("mivet_app_not_running"));
  test::FakeApp restarted(socketPath, echoAnswer);
  EXPECT_EQ(send(*bridge, digest("after")), echoed("after"));
  expectCleanExitAtEndOfInput(*bridge);
}

TEST_F(BridgeFaults, AppHangingUpAtOnceFailsTheMessageEvenInTheMiddleOfSendingIt) {
  // The first two connections are closed before a byte is read.
  test::FakeApp app(socketPath, echoAnswer, [](int connection) -> std::optional<test::FakeAnswer> {
    if (connection <= 2) return test::FakeAnswer{};
    return std::nullopt;
  });
  auto bridge = startBridge();
  EXPECT_EQ(send(*bridge, digest("small")), bridgeFailure("ipc_eof"));
  // Still sending when the app hangs up: the broken connection must not end the bridge.
  EXPECT_EQ(send(*bridge, largeDigest("large")), bridgeFailure("ipc_eof"));
  EXPECT_EQ(send(*bridge, digest("after")), echoed("after"));
  EXPECT_EQ(app.requests().size(), 1u);
  expectCleanExitAtEndOfInput(*bridge);
}

}  // namespace
}  // namespace mivet::faults
