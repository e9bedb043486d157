#include "tests/support/child_process.h"
#include "tests/support/fake_app.h"
#include "tests/support/sleeping_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unusual_json.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

namespace mivet::bridge {
namespace {

using namespace std::chrono_literals;
using test::FakeAnswer;

const std::string origin = "chrome-extension://abcdefghijklmnopabcdefghijklmnop/";
const std::string okAnswer = R"({"ok":true})";
const std::string frameSizeOutOfBounds = R"({"ok":false,"error":"frame_size_out_of_bounds"})";
const std::string invalidJsonFrame = R"({"ok":false,"error":"invalid_json_frame"})";
const std::string ipcEof = R"({"ok":false,"error":"ipc_eof"})";

std::string lengthField(std::uint32_t length) {
  std::string field(4, '\0');
  std::memcpy(field.data(), &length, 4);
  return field;
}

std::string frame(const std::string& body) {
  return lengthField(static_cast<std::uint32_t>(body.size())) + body;
}

std::string frames(std::initializer_list<std::string> bodies) {
  std::string all;
  for (const auto& body : bodies) all += frame(body);
  return all;
}

// {"a":[[...]]} nested `depth` levels deep, the outer object included.
std::string nested(std::size_t depth) {
  return "{\"a\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

// The next frame's body from the bridge; nullopt when none arrives.
std::optional<std::string> readFrame(test::ChildProcess& bridge,
                                     std::chrono::milliseconds timeout = 30s) {
  auto field = bridge.readBytes(4, timeout);
  if (!field) return std::nullopt;
  std::uint32_t length = 0;
  std::memcpy(&length, field->data(), 4);
  return bridge.readBytes(length, timeout);
}

// Started as the browser starts it: every signal at its default action.
test::ProcessOptions childOptions() {
  test::ProcessOptions options;
  options.defaultSignals = true;
  return options;
}

class BridgeProcess : public ::testing::Test {
 protected:
  std::vector<std::string> command(const std::string& socket) const {
    return {MIVET_BRIDGE_BINARY, origin, "--socket", socket};
  }
  test::ProcessResult run(const std::string& input) const {
    return test::runProcess(command(socketPath), input, options);
  }
  std::unique_ptr<test::ChildProcess> start(const std::vector<std::string>& argv) const {
    return std::make_unique<test::ChildProcess>(argv, options);
  }
  static void expectCleanExit(const test::ProcessResult& result) {
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.termSignal, 0);
    EXPECT_EQ(result.err, "");
  }

  test::TempDir dir;
  std::string socketPath = dir.file("app.sock");
  test::ProcessOptions options = childOptions();
};

TEST_F(BridgeProcess, NumbersOfAnySizeAndLoneSurrogatesTravelExactlyBothWays) {
  for (const std::string& value : test::unusualJsonValues) {
    test::FakeApp app(socketPath, [&](const std::string&) {
      return test::lineAnswer(R"({"ok":true,"v":)" + value + "}");
    });
    auto result = run(frame(R"({"type":"digest","payload":{"v":)" + value + "}}"));
    expectCleanExit(result);
    ASSERT_EQ(app.requests().size(), 1u) << value;
    EXPECT_NE(app.requests()[0].find(R"("params":{"v":)" + value + "}"), std::string::npos)
        << app.requests()[0];
    EXPECT_EQ(result.out, frame(R"({"ok":true,"v":)" + value + "}"));
  }
}

TEST_F(BridgeProcess, NonBlockingStdinAndStdoutAreWaitedFor) {
  const std::string answer = R"({"ok":true,"blob":")" + std::string(200000, 'b') + "\"}";
  test::FakeApp app(socketPath, [&](const std::string&) { return test::lineAnswer(answer); });
  options.nonBlockingStdio = true;
  options.fullStdout = true;
  auto bridge = start(command(socketPath));
  ASSERT_TRUE(test::waitUntilSleepingIn(test::BlockingCall::poll, bridge->pid(), bridge->pid()))
      << "it did not wait for its empty stdin";
  bridge->write(frames({"{}", "{}"}));
  ASSERT_TRUE(app.waitForRequests(1, 10s));
  ASSERT_TRUE(test::waitUntilSleepingIn(test::BlockingCall::poll, bridge->pid(), bridge->pid()))
      << "it did not wait for room in its full stdout";
  EXPECT_EQ(readFrame(*bridge), answer);
  EXPECT_EQ(readFrame(*bridge), answer);
  expectCleanExit(bridge->wait());
}

TEST_F(BridgeProcess, ForwardsBackToBackFramesAndAnswersInOrder) {
  std::atomic<int> answered{0};
  test::FakeApp app(socketPath, [&](const std::string&) {
    return test::lineAnswer(R"({"ok":true,"n":)" + std::to_string(++answered) + "}");
  });
  auto result = run(frames({
      "{}",
      R"({"type":"heartbeat","payload":{"url":"https://a.example/x","tabs":[1,2]}})",
      R"({"type":"digest"})",
      R"({"type":"digest","payload":[1,2]})",
      R"({"type":"ping","payload":{"a":1}})",
      R"({"type":"Heartbeat","payload":{"a":1}})",
      R"({"type":7,"payload":{"a":1}})",
  }));
  expectCleanExit(result);
  EXPECT_EQ(result.out,
            frames({R"({"ok":true,"n":1})", R"({"ok":true,"n":2})", R"({"ok":true,"n":3})",
                    R"({"ok":true,"n":4})", R"({"ok":true,"n":5})", R"({"ok":true,"n":6})",
                    R"({"ok":true,"n":7})"}));

  auto requests = app.requests();
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(app.connections(), 7);
  const std::vector<std::string> expected = {
      R"("method":"ping","params":{}})",
      R"("method":"browser_heartbeat","params":{"url":"https:\/\/a.example\/x","tabs":[1,2]}})",
      R"("method":"browser_ingest_digest","params":{}})",
      R"("method":"browser_ingest_digest","params":{}})",
      R"("method":"ping","params":{}})",
      R"("method":"ping","params":{}})",
      R"("method":"ping","params":{}})",
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    // {"id":"<36 characters>", then the method and the params.
    EXPECT_EQ(requests[i].substr(0, 7), R"({"id":")");
    EXPECT_EQ(requests[i].substr(43), "\"," + expected[i]) << i;
  }
}

TEST_F(BridgeProcess, AcceptsTheLargestAndDeepestFrames) {
  test::FakeApp app(socketPath, [](const std::string&) { return test::lineAnswer(R"({"ok":1})"); });
  const std::string head = R"({"type":"digest","payload":{"text":")", tail = R"("}})";
  const std::string text(1048576 - head.size() - tail.size(), 'x');
  auto result = run(frame(head + text + tail) + frame(nested(512)));
  expectCleanExit(result);
  EXPECT_EQ(result.out, frames({R"({"ok":1})", R"({"ok":1})"}));
  auto requests = app.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].ends_with(R"("method":"browser_ingest_digest","params":{"text":")" +
                                    text + tail));
}

TEST_F(BridgeProcess, PassesTheAppsAnswersBackWhole) {
  const std::string large = R"({"ok":true,"result":")" + std::string(2621440, 'y') + "\"}";
  const std::vector<FakeAnswer> answers = {
      test::lineAnswer(R"({ "ok" : true, "result" : {"t":"a/b"}, "id" : "R1", "x" : null })"),
      test::lineAnswer(R"({"ok":false,"error":"no such source"})"),
      test::lineAnswer("[]"),
      FakeAnswer{R"({"ok":true})"},  // closes without a LF
      test::lineAnswer(large),
  };
  std::atomic<std::size_t> next{0};
  test::FakeApp app(socketPath, [&](const std::string&) { return answers[next++]; });
  auto result = run(frames({"{}", "{}", "{}", "{}", "{}"}));
  expectCleanExit(result);
  EXPECT_TRUE(result.out ==
              frames({R"({"ok":true,"result":{"t":"a\/b"},"id":"R1","x":null})",
                      R"({"ok":false,"error":"no such source"})", ipcEof, ipcEof, large}));
}

TEST_F(BridgeProcess, ReportsAnAppThatIsNotThereWithoutStartingIt) {
  auto result = run(frames({"{}", R"({"type":"heartbeat"})"}));
  expectCleanExit(result);
  const std::string notRunning = R"({"ok":false,"error":"mivet_app_not_running"})";
  EXPECT_EQ(result.out, frames({notRunning, notRunning}));

  std::string longPath = dir.path() + "/" + std::string(104 - dir.path().size(), 'p');
  ASSERT_EQ(longPath.size(), 105u);
  result = test::runProcess(command(longPath.substr(0, 104)), frame("{}"), options);
  expectCleanExit(result);
  EXPECT_EQ(result.out, frame(R"({"ok":false,"error":"socket_path_too_long"})"));
}

struct BadInput {
  std::string name;
  std::string input;
  std::string reply;  // the one frame body expected, "" for no output at all
};

TEST_F(BridgeProcess, AnswersAnUnusableFrameOnceAndEnds) {
  const std::string next = frame("{}");
  const std::vector<BadInput> cases = {
      {"empty input", "", ""},
      {"end inside the length field", std::string("\x05\x00", 2), ""},
      {"length 0", lengthField(0) + next, frameSizeOutOfBounds},
      {"length 1048577", lengthField(1048577) + next, frameSizeOutOfBounds},
      {"length 0xFFFFFFFF", lengthField(0xFFFFFFFF) + next, frameSizeOutOfBounds},
      {"big-endian 5", std::string("\x00\x00\x00\x05", 4) + "{}   " + next, frameSizeOutOfBounds},
      {"end inside the body", lengthField(10) + R"({"a")", invalidJsonFrame},
      {"invalid UTF-8", frame("{\"a\":\"\xC3\x28\"}") + next, invalidJsonFrame},
      {"bare string", frame(R"("ping")") + next, invalidJsonFrame},
      {"array", frame("[1,2]") + next, invalidJsonFrame},
      {"number", frame("42") + next, invalidJsonFrame},
      {"truncated JSON", frame(R"({"type":"ping")") + next, invalidJsonFrame},
      {"two values", frame("{} {}") + next, invalidJsonFrame},
      {"513 levels", frame(nested(513)) + next, invalidJsonFrame},
      {"100000 levels", frame(nested(100000)) + next, invalidJsonFrame},
  };
  test::FakeApp app(socketPath, [](const std::string&) { return test::lineAnswer("{}"); });
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    auto result = run(bad.input);
    expectCleanExit(result);
    EXPECT_EQ(result.out, bad.reply.empty() ? "" : frame(bad.reply));
  }
  EXPECT_EQ(app.connections(), 0);
}

TEST_F(BridgeProcess, CollectsABodyDeliveredOneByteAtATime) {
  test::FakeApp app(socketPath, [](const std::string&) { return test::lineAnswer(okAnswer); });
  auto bridge = start(command(socketPath));
  for (char byte : frame(R"({"type":"heartbeat","payload":{"a":1}})")) {
    bridge->write(std::string(1, byte));
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(readFrame(*bridge), okAnswer);
  bridge->write(std::string("\x02\x00", 2));  // a length field cut short ends it silently
  auto result = bridge->wait();
  expectCleanExit(result);
  EXPECT_EQ(result.out, "");
  ASSERT_EQ(app.requests().size(), 1u);
  EXPECT_TRUE(app.requests()[0].ends_with(R"("method":"browser_heartbeat","params":{"a":1}})"));
}

TEST_F(BridgeProcess, FindsTheSocketOptionWhereverItStands) {
  test::FakeApp app(socketPath, [](const std::string&) { return test::lineAnswer(okAnswer); });
  const std::vector<std::vector<std::string>> commands = {
      {MIVET_BRIDGE_BINARY, "--socket", socketPath, origin},
      {MIVET_BRIDGE_BINARY, origin, "--parent-window=0", "--socket", socketPath},
  };
  for (const auto& argv : commands) {
    auto result = test::runProcess(argv, frame("{}"), options);
    expectCleanExit(result);
    EXPECT_EQ(result.out, frame(okAnswer));
  }
  EXPECT_EQ(app.connections(), 2);
}

TEST_F(BridgeProcess, UsesTheSocketInTheHomeDirectoryByDefault) {
  const std::string home = dir.file("home");
  const std::string appDirectory = home + "/Library/Application Support/Mivet";
  test::writeFile(appDirectory + "/placeholder", "");
  test::FakeApp app(appDirectory + "/ipc.sock",
                    [](const std::string&) { return test::lineAnswer(okAnswer); });
  test::ProcessOptions withHome = options;
  withHome.env = {"HOME=" + home};
  for (const auto& argv : std::vector<std::vector<std::string>>{
           {MIVET_BRIDGE_BINARY, origin}, {MIVET_BRIDGE_BINARY, origin, "--socket"}}) {
    auto result = test::runProcess(argv, frame("{}"), withHome);
    expectCleanExit(result);
    EXPECT_EQ(result.out, frame(okAnswer));
  }
  EXPECT_EQ(app.connections(), 2);
}

TEST_F(BridgeProcess, SurvivesAnAppThatHangsUpBeforeReadingTheRequest) {
  // Every connection is closed at once, without reading a byte.
  test::FakeApp app(
      socketPath, [](const std::string&) { return FakeAnswer{}; },
      [](int) { return std::optional<FakeAnswer>(FakeAnswer{}); });
  const std::string digest =
      R"({"type":"digest","payload":{"text":")" + std::string(1000000, 'd') + "\"}}";
  auto result = run(frames({digest, digest, "{}"}));
  expectCleanExit(result);
  EXPECT_EQ(result.out, frames({ipcEof, ipcEof, ipcEof}));
}

TEST_F(BridgeProcess, GivesUpOnASilentAppAfterTenSeconds) {
  test::FakeApp app(socketPath, [](const std::string&) {
    return FakeAnswer{okAnswer + "\n", std::chrono::milliseconds(11000)};
  });
  auto bridge = start(command(socketPath));
  auto started = std::chrono::steady_clock::now();
  bridge->write(frame("{}"));
  EXPECT_EQ(readFrame(*bridge, 20s), ipcEof);
  // The app answers after 11 s, so an ok answer here would mean a longer time-out.
  EXPECT_GE(std::chrono::steady_clock::now() - started, 9500ms);
  expectCleanExit(bridge->wait());
}

}  // namespace
}  // namespace mivet::bridge
