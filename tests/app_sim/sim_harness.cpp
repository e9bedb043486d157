#include "tests/app_sim/sim_harness.h"

#include "common/app_socket.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <variant>

namespace mivet::test {

ProcessOptions homeAt(const std::string& home) {
  ProcessOptions options;
  options.env = {"HOME=" + home};
  return options;
}

bool waitUntilListening(const std::string& socketPath) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (std::holds_alternative<UniqueFd>(connectToAppSocket(socketPath, 5))) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::vector<std::string> simCommand(const TempDir& dir, std::vector<std::string> extraArguments) {
  std::vector<std::string> command = {MIVET_APP_SIM_BINARY, "--socket", dir.file("app.sock"),
                                      "--state", dir.file("tasks.json")};
  command.insert(command.end(), extraArguments.begin(), extraArguments.end());
  return command;
}

RunningSim::RunningSim(const TempDir& dir, std::vector<std::string> extraArguments)
    : socketPath_(dir.file("app.sock")) {
  process_.emplace(simCommand(dir, std::move(extraArguments)), homeAt(dir.path()));
  EXPECT_TRUE(waitUntilListening(socketPath_)) << "mivet-app-sim did not start listening";
}

RunningSim::~RunningSim() {
  if (process_) stop(SIGTERM);
}

ProcessResult RunningSim::stop(int signal) {
  ::kill(process_->pid(), signal);
  ProcessResult result = process_->wait();
  process_.reset();
  return result;
}

std::string toolCallLine(int id, const std::string& tool, const std::string& argumentsJson) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"tools/call","params":{"name":")" + tool + R"(","arguments":)" +
         argumentsJson + "}}\n";
}

ToolAnswer toolAnswerIn(const std::string& responseLine) {
  auto response = parseJsonDocument(responseLine);
  if (!response) return {true, "unreadable response: " + responseLine};
  ToolAnswer answer;
  simdjson::dom::element result = response->root["result"];
  std::ignore = result["isError"].get_bool().get(answer.isError);
  std::string_view text;
  if (result["content"].at(0)["text"].get_string().get(text) == simdjson::SUCCESS) {
    answer.text = std::string(text);
  }
  return answer;
}

McpClient::McpClient(const std::string& socketPath, const std::string& home)
    : process_({MIVET_MCP_BINARY, "--socket", socketPath}, homeAt(home)) {
  process_.write(
      R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18",)"
      R"("capabilities":{},"clientInfo":{"name":"test","version":"1"}}})"
      "\n");
  EXPECT_TRUE(process_.readLine().has_value()) << "mivet-mcp did not answer initialize";
}

ToolAnswer McpClient::call(const std::string& tool, const std::string& argumentsJson) {
  process_.write(toolCallLine(nextId_++, tool, argumentsJson));
  auto line = process_.readLine();
  if (!line) return {true, "no answer from mivet-mcp"};
  return toolAnswerIn(*line);
}

JsonDocument McpClient::result(const std::string& tool, const std::string& argumentsJson) {
  ToolAnswer answer = call(tool, argumentsJson);
  EXPECT_FALSE(answer.isError) << tool << " " << argumentsJson << " failed: " << answer.text;
  auto document = parseJsonDocument(answer.text);
  if (!document) {
    ADD_FAILURE() << tool << " answered " << answer.text;
    return *parseJsonDocument("{}");
  }
  return std::move(*document);
}

namespace {

std::vector<std::string> taskMembers(const JsonDocument& listResult, std::string_view key) {
  std::vector<std::string> values;
  simdjson::dom::array tasks;
  if (listResult.root["tasks"].get_array().get(tasks) != simdjson::SUCCESS) return values;
  for (simdjson::dom::element task : tasks) {
    std::string_view value;
    if (task[key].get_string().get(value) == simdjson::SUCCESS) values.emplace_back(value);
  }
  return values;
}

}  // namespace

std::vector<std::string> taskIds(const JsonDocument& listResult) {
  return taskMembers(listResult, "id");
}

std::vector<std::string> taskTitles(const JsonDocument& listResult) {
  return taskMembers(listResult, "title");
}

std::string member(const JsonDocument& document, std::string_view key) {
  return std::string(stringMember(document.root, key).value_or(""));
}

std::string nativeFrame(const std::string& json) {
  auto length = static_cast<std::uint32_t>(json.size());
  std::string frame(sizeof length, '\0');
  std::memcpy(frame.data(), &length, sizeof length);
  return frame + json;
}

std::vector<std::string> nativeFrameBodies(const std::string& bytes) {
  std::vector<std::string> bodies;
  std::size_t at = 0;
  while (bytes.size() - at >= 4) {
    std::uint32_t length = 0;
    std::memcpy(&length, bytes.data() + at, sizeof length);
    at += sizeof length;
    bodies.push_back(bytes.substr(at, length));
    at += length;
  }
  return bodies;
}

}  // namespace mivet::test
