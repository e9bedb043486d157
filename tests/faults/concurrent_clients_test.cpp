// Eight mivet-mcp processes and four bridges talk to one application at
// once; every answer must reach the caller that asked for it, in order.
#include "common/json_reader.h"
#include "tests/faults/fault_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace mivet::faults {
namespace {

constexpr int serverCount = 8;
constexpr int bridgeCount = 4;
constexpr int callsEach = 500;

const std::vector<std::string> tools = {"tasks_add",           "tasks_list",       "tasks_complete",
                                        "tasks_update_title",  "tasks_reschedule", "tasks_reorder",
                                        "tasks_remove",        "schedule_today",   "browser_status",
                                        "browser_check_source"};

std::string marker(std::string_view client, int index, int call) {
  return std::string(client) + std::to_string(index) + "-" + std::to_string(call);
}

struct BridgeCall {
  std::string type;
  std::string method;
};

BridgeCall bridgeCall(int call) {
  if (call % 2 == 0) return {"digest", "browser_ingest_digest"};
  return {"heartbeat", "browser_heartbeat"};
}

std::string serverInput(int server) {
  std::string input;
  for (int call = 0; call < callsEach; ++call) {
    input += toolCallLine(call, tools[call % tools.size()],
                          R"({"marker":")" + marker("mcp", server, call) + "\"}");
  }
  return input;
}

std::string bridgeInput(int bridge) {
  std::string input;
  for (int call = 0; call < callsEach; ++call) {
    input += frame(R"({"type":")" + bridgeCall(call).type + R"(","payload":{"marker":")" +
                   marker("bridge", bridge, call) + "\"}}");
  }
  return input;
}

std::vector<std::string> splitLines(const std::string& out) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(out.substr(at, end - at));
  }
  return lines;
}

std::vector<std::string> splitFrames(const std::string& out) {
  std::vector<std::string> bodies;
  std::size_t at = 0;
  while (at + 4 <= out.size()) {
    std::uint32_t length = 0;
    std::memcpy(&length, out.data() + at, 4);
    bodies.push_back(out.substr(at + 4, length));
    at += 4 + length;
  }
  return bodies;
}

// Counts the answers that differ from what `expected` says for their
// position, and describes the first of them.
template <typename Answer, typename Expected>
void expectAnswersInOrder(const std::vector<Answer>& answers, Expected expected,
                          const std::string& client) {
  ASSERT_EQ(answers.size(), static_cast<std::size_t>(callsEach)) << client;
  int wrong = 0;
  std::string first;
  for (int call = 0; call < callsEach; ++call) {
    if (answers[call] == expected(call)) continue;
    if (wrong++ == 0)
      first = "call " + std::to_string(call) + " got " + ::testing::PrintToString(answers[call]);
  }
  EXPECT_EQ(wrong, 0) << client << ": " << first;
}

void expectEveryServerAnswerInOrder(const std::vector<test::ProcessResult>& results) {
  for (int server = 0; server < serverCount; ++server) {
    const auto& result = results[server];
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    std::vector<std::optional<ToolReply>> replies;
    for (const auto& line : splitLines(result.out)) replies.push_back(parseToolReply(line));
    expectAnswersInOrder(
        replies,
        [&](int call) {
          return std::optional<ToolReply>(ToolReply{
              std::to_string(call),
              echoedResult(tools[call % tools.size()], marker("mcp", server, call)), false});
        },
        "mcp " + std::to_string(server));
  }
}

void expectEveryBridgeAnswerInOrder(const std::vector<test::ProcessResult>& results) {
  for (int bridge = 0; bridge < bridgeCount; ++bridge) {
    const auto& result = results[bridge];
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    expectAnswersInOrder(
        splitFrames(result.out),
        [&](int call) {
          return R"({"ok":true,"result":)" +
                 echoedResult(bridgeCall(call).method, marker("bridge", bridge, call)) + "}";
        },
        "bridge " + std::to_string(bridge));
  }
}

// The markers of all requests that reached the application, sorted.
std::vector<std::string> receivedMarkers(const test::FakeApp& app) {
  std::vector<std::string> markers;
  for (const auto& line : app.requests()) {
    auto request = parseJsonDocument(line);
    auto params = request ? objectMember(request->root, "params") : std::nullopt;
    markers.emplace_back(params ? stringMember(*params, "marker").value_or("") : "");
  }
  std::sort(markers.begin(), markers.end());
  return markers;
}

std::vector<std::string> everyMarker() {
  std::vector<std::string> markers;
  for (int call = 0; call < callsEach; ++call) {
    for (int server = 0; server < serverCount; ++server)
      markers.push_back(marker("mcp", server, call));
    for (int bridge = 0; bridge < bridgeCount; ++bridge)
      markers.push_back(marker("bridge", bridge, call));
  }
  std::sort(markers.begin(), markers.end());
  return markers;
}

TEST(ConcurrentClients, EveryAnswerReachesItsCallerInOrderAndNothingIsLost) {
  test::TempDir dir;
  const std::string socketPath = dir.file("app.sock");
  test::FakeApp app(socketPath, echoAnswer);

  std::vector<test::ProcessResult> servers(serverCount), bridges(bridgeCount);
  std::vector<std::thread> clients;
  for (int server = 0; server < serverCount; ++server) {
    clients.emplace_back([&, server] {
      servers[server] =
          test::runProcess({MIVET_MCP_BINARY, "--socket", socketPath}, serverInput(server),
                           test::withEnvironment({"HOME=" + dir.path()}));
    });
  }
  for (int bridge = 0; bridge < bridgeCount; ++bridge) {
    clients.emplace_back([&, bridge] {
      bridges[bridge] = test::runProcess(
          {MIVET_BRIDGE_BINARY, "chrome-extension://abcdefghijklmnopabcdefghijklmnop/", "--socket",
           socketPath},
          bridgeInput(bridge));
    });
  }
  for (auto& client : clients) client.join();

  expectEveryServerAnswerInOrder(servers);
  expectEveryBridgeAnswerInOrder(bridges);
  EXPECT_EQ(app.connections(), (serverCount + bridgeCount) * callsEach);
  EXPECT_TRUE(receivedMarkers(app) == everyMarker());
}

}  // namespace
}  // namespace mivet::faults
