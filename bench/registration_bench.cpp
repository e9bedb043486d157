// How long the registration edits take on a large Claude Code configuration
// file (the assistant keeps its project history there, so it grows to tens of
// megabytes). Run: registration_bench [--benchmark_filter=...]
#include "mcp/registration/json_config.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace {

const std::string command = "/Users/someone/Library/Application Support/Mivet/bin/mivet-mcp";

// A configuration shaped like a long-used one: many projects, each with a
// history of prompts holding paths, quotes, escapes and non-ASCII text.
std::string largeConfig(std::size_t targetBytes) {
  std::string text =
      "{\"numStartups\": 412, \"theme\": \"dark\", \"mcpServers\": {\"other\": "
      "{\"command\": \"/usr/local/bin/other\", \"args\": [\"--x\"]}}, \"projects\": {";
  for (std::size_t project = 0; text.size() < targetBytes; ++project) {
    if (project > 0) text += ',';
    text += "\"/Users/someone/src/project-" + std::to_string(project) + "\": {\"history\": [";
    for (int entry = 0; entry < 40; ++entry) {
      if (entry > 0) text += ',';
      text += "{\"display\": \"fix the \\\"parser\\\" in src/main.cpp \\u00e9t\\u00e9 \\n line " +
              std::to_string(entry) + " — ünïcödé\", \"pastedContents\": {}}";
    }
    text +=
        "], \"allowedTools\": [], \"lastCost\": 0.0731, \"lastDuration\": 123456, "
        "\"hasTrustDialogAccepted\": true, \"exampleFiles\": null}";
  }
  text += "}}";
  return text;
}

// A configuration file of about `bytes` in a directory of its own, removed
// again at the end.
struct LargeFile {
  std::string directory;
  std::string path;
  std::string content;

  explicit LargeFile(std::size_t bytes) : content(largeConfig(bytes)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "mivet-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    directory = pattern;
    path = directory + "/.claude.json";
    std::ofstream(path, std::ios::binary) << content;
  }
  ~LargeFile() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  LargeFile(const LargeFile&) = delete;
  LargeFile& operator=(const LargeFile&) = delete;
};

void upsertLargeClaudeFile(benchmark::State& state) {
  LargeFile file(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) mivet::mcp::upsertJSONMCP(file.path, command);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file.path)) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.content.size()));
}
BENCHMARK(upsertLargeClaudeFile)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

void removeFromLargeClaudeFile(benchmark::State& state) {
  LargeFile file(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    state.PauseTiming();
    mivet::mcp::upsertJSONMCP(file.path, command);
    state.ResumeTiming();
    mivet::mcp::removeJSONMCP(file.path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.content.size()));
}
BENCHMARK(removeFromLargeClaudeFile)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

void statusTestOfLargeClaudeFile(benchmark::State& state) {
  LargeFile file(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) benchmark::DoNotOptimize(mivet::mcp::hasJSONMCP(file.path));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.content.size()));
}
BENCHMARK(statusTestOfLargeClaudeFile)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
