#pragma once

#include "tests/support/child_process.h"
#include "tests/support/fake_app.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace mivet::faults {

// The params member that makes the echoing application die in the middle of
// its answer (see echoAnswer).
inline constexpr std::string_view dieMidAnswer = "dieMidAnswer";

// The application's answer to a request: ok, with a result that echoes the
// request's method and the "marker" string of its params, so that every
// answer can be matched to its request. A request whose params hold
// "dieMidAnswer": true gets the first half of a long answer line, after which
// the whole process dies (meant for the application in a process of its own).
test::FakeAnswer echoAnswer(const std::string& requestLine);

// The JSON text of the result that echoAnswer gives for `method` and `marker`,
// members in ascending key order.
std::string echoedResult(std::string_view method, std::string_view marker);

// A "tools/call" line for mivet-mcp, LF included.
std::string toolCallLine(int id, std::string_view tool, std::string_view argumentsJson);

// What a mivet-mcp response line to a "tools/call" says.
struct ToolReply {
  std::string id;  // the "id" as JSON text
  std::string text;
  bool isError = false;

  friend bool operator==(const ToolReply&, const ToolReply&) = default;
};
void PrintTo(const ToolReply& reply, std::ostream* out);
std::optional<ToolReply> parseToolReply(const std::string& line);

// The failure text of a tool result for an exchange that failed with `code`.
std::string failureText(std::string_view code);

// Native-messaging frames: a 4-byte native-endian length, then the body.
std::string frame(const std::string& body);
std::optional<std::string> readFrame(test::ChildProcess& bridge, std::chrono::milliseconds timeout);

// The bridge's reply when an exchange failed with `code`.
std::string bridgeFailure(std::string_view code);

// Waits until the child has exited, at most `timeout`, and then reaps it;
// nullopt when it is still running (the ChildProcess kills it when it goes).
std::optional<test::ProcessResult> waitForExit(test::ChildProcess& child,
                                               std::chrono::milliseconds timeout);

}  // namespace mivet::faults
