#include "fault_support.h"

#include "common/json_reader.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <thread>

namespace mivet::faults {
namespace {

// Markers and methods in these tests are plain text: no quotes, backslashes
// or control characters, so they go into JSON text as they are.
std::string quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

bool wantsToDie(simdjson::dom::object params) {
  bool die = false;
  return params[dieMidAnswer].get(die) == simdjson::SUCCESS && die;
}

test::FakeAnswer halfAnswerThenDeath(std::string_view method) {
  std::string line = R"({"ok":true,"result":{"method":)" + quoted(method) + R"(,"filler":")" +
                     std::string(256 * 1024, 'f') + "\"}}\n";
  test::FakeAnswer answer{line.substr(0, line.size() / 2)};
  answer.killProcessAfterWriting = true;
  return answer;
}

}  // namespace

std::string echoedResult(std::string_view method, std::string_view marker) {
  return R"({"marker":)" + quoted(marker) + R"(,"method":)" + quoted(method) + "}";
}

test::FakeAnswer echoAnswer(const std::string& requestLine) {
  auto request = parseJsonDocument(requestLine);
  if (!request) return test::lineAnswer(R"({"ok":false,"error":"unreadable request"})");
  std::string_view method = stringMember(request->root, "method").value_or("");
  simdjson::dom::object params = objectMember(request->root, "params").value_or(emptyJsonObject());
  if (wantsToDie(params)) return halfAnswerThenDeath(method);
  std::string_view marker = stringMember(params, "marker").value_or("");
  return test::lineAnswer(R"({"ok":true,"result":)" + echoedResult(method, marker) + "}");
}

std::string toolCallLine(int id, std::string_view tool, std::string_view argumentsJson) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"tools/call","params":{"name":)" + quoted(tool) + R"(,"arguments":)" +
         std::string(argumentsJson) + "}}\n";
}

std::optional<ToolReply> parseToolReply(const std::string& line) {
  auto response = parseJsonDocument(line);
  if (!response) return std::nullopt;
  simdjson::dom::element id;
  std::string_view text;
  bool isError = false;
  auto result = response->root["result"];
  if (response->root["id"].get(id) != simdjson::SUCCESS ||
      result["content"].at(0)["text"].get(text) != simdjson::SUCCESS ||
      result["isError"].get(isError) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return ToolReply{simdjson::minify(id), std::string(text), isError};
}

void PrintTo(const ToolReply& reply, std::ostream* out) {
  *out << "{id " << reply.id << ", isError " << reply.isError << ", text " << reply.text << "}";
}

std::string failureText(std::string_view code) {
  return R"({"error":)" + quoted(code) + R"(,"ok":false})";
}

std::string frame(const std::string& body) {
  auto length = static_cast<std::uint32_t>(body.size());
  std::string field(4, '\0');
  std::memcpy(field.data(), &length, 4);
  return field + body;
}

std::optional<std::string> readFrame(test::ChildProcess& bridge,
                                     std::chrono::milliseconds timeout) {
  auto field = bridge.readBytes(4, timeout);
  if (!field) return std::nullopt;
  std::uint32_t length = 0;
  std::memcpy(&length, field->data(), 4);
  return bridge.readBytes(length, timeout);
}

std::string bridgeFailure(std::string_view code) {
  return R"({"ok":false,"error":)" + quoted(code) + "}";
}

std::optional<test::ProcessResult> waitForExit(test::ChildProcess& child,
                                               std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    siginfo_t info{};
    // WNOWAIT leaves the child to be reaped by ChildProcess::wait.
    if (::waitid(P_PID, static_cast<id_t>(child.pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == child.pid()) {
      return child.wait();
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace mivet::faults
