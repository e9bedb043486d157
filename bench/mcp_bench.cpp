// Per-message costs of mivet-mcp: reading a request line, building the
// application request, reading the application's answer and writing the
// sorted tool text.
#include "common/json_reader.h"
#include "mcp/app_connection/ipc_client.h"
#include "mcp/server/message_loop.h"
#include "mcp/server/tool_call.h"

#include <benchmark/benchmark.h>

namespace {

using namespace mivet;

// About 4.5 KB: twenty tasks with non-ASCII titles, links and nested objects.
std::string taskListAnswer() {
  std::string tasks;
  for (int i = 0; i < 20; ++i) {
    if (i > 0) tasks += ",";
    tasks += R"({"title":"Überprüfen — task )" + std::to_string(i) +
             R"( ✓","id":"5C0A7E9B-1D2F-4A3B-9C8D-00000000000)" + std::to_string(i % 10) +
             R"(","dueAt":"2026-12-09T17:00:00Z","deepLink":"https://example.test/pr/)" +
             std::to_string(i) + R"(","meta":{"source":"manual","autoExtracted":false}})";
  }
  return R"({"ok":true,"result":{"scope":"today","tasks":[)" + tasks + "]}}";
}

void BM_PingLine(benchmark::State& state) {
  auto parser = newJsonParser();
  std::string_view line = R"({"jsonrpc":"2.0","id":12345,"method":"ping"})";
  auto noApp = [](std::string_view, simdjson::dom::object) { return mcp::IPCResult{}; };
  for (auto _ : state) benchmark::DoNotOptimize(mcp::responseForLine(line, *parser, noApp));
}
BENCHMARK(BM_PingLine);

void BM_ToolCallWithoutTheSocket(benchmark::State& state) {
  auto parser = newJsonParser();
  std::string line =
      R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":"tasks_list","arguments":{"scope":"today"}}})";
  std::string answer = taskListAnswer();
  // What connectAndSendIPC does around the exchange on the socket.
  auto fromApp = [&](std::string_view method, simdjson::dom::object params) {
    benchmark::DoNotOptimize(mcp::ipcRequestLine(method, params));
    return mcp::parseIPCAnswer(answer);
  };
  for (auto _ : state) benchmark::DoNotOptimize(mcp::responseForLine(line, *parser, fromApp));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ToolCallWithoutTheSocket);

void BM_SortedToolText(benchmark::State& state) {
  auto parser = std::shared_ptr<JsonParser>(newJsonParser());
  std::string answer = taskListAnswer();
  auto object = parseJsonObject(*parser, answer);
  mcp::IPCResult result{true, (*object)["result"].value_unsafe(), std::nullopt, parser};
  for (auto _ : state) benchmark::DoNotOptimize(mcp::toolResultText(result));
}
BENCHMARK(BM_SortedToolText);

}  // namespace

BENCHMARK_MAIN();
