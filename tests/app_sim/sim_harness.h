#pragma once

#include "common/json_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <optional>
#include <string>
#include <vector>

namespace mivet::test {

// Child-process options that set HOME to `home`, so nothing touches the real one.
ProcessOptions homeAt(const std::string& home);

// Whether something answers connections on `socketPath` within a few seconds.
bool waitUntilListening(const std::string& socketPath);

// A running mivet-app-sim on `dir`/app.sock with its tasks in `dir`/tasks.json
// and HOME set to `dir`.
class RunningSim {
 public:
  explicit RunningSim(const TempDir& dir, std::vector<std::string> extraArguments = {});
  ~RunningSim();
  RunningSim(const RunningSim&) = delete;
  RunningSim& operator=(const RunningSim&) = delete;

  const std::string& socketPath() const { return socketPath_; }
  // Sends `signal` and waits for the exit.
  ProcessResult stop(int signal);

 private:
  std::string socketPath_;
  std::optional<ChildProcess> process_;
};

std::vector<std::string> simCommand(const TempDir& dir, std::vector<std::string> extraArguments);

struct ToolAnswer {
  bool isError = true;
  std::string text;  // the tool result's text item: the app's result or error, as JSON
};

// A mivet-mcp process talking to the app on `socketPath`, already initialised.
class McpClient {
 public:
  McpClient(const std::string& socketPath, const std::string& home);
  ToolAnswer call(const std::string& tool, const std::string& argumentsJson = "{}");
  // The result object of a call that must succeed; the test fails otherwise.
  JsonDocument result(const std::string& tool, const std::string& argumentsJson = "{}");

 private:
  ChildProcess process_;
  int nextId_ = 1;
};

// One JSON-RPC "tools/call" request line, LF included.
std::string toolCallLine(int id, const std::string& tool, const std::string& argumentsJson);
// The tool answer inside one JSON-RPC response line.
ToolAnswer toolAnswerIn(const std::string& responseLine);

// The ids of the tasks in a tasks_list (or tasks_reorder) result, in order.
std::vector<std::string> taskIds(const JsonDocument& listResult);
std::vector<std::string> taskTitles(const JsonDocument& listResult);
std::string member(const JsonDocument& document, std::string_view key);

// Chrome's native-messaging framing: a 4-byte native-endian length, then the body.
std::string nativeFrame(const std::string& json);
std::vector<std::string> nativeFrameBodies(const std::string& bytes);

}  // namespace mivet::test
