// Edits assistant configuration files whose content comes from the fuzz
// input. An edit either succeeds, with the registration in place after an
// install and gone after an uninstall, or throws and leaves the file byte
// for byte as it was.
#include "common/file_io.h"
#include "mcp/registration/codex_config.h"
#include "mcp/registration/json_config.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// Kept alive until the exit handler that removes it has run.
const std::string& scratchDirectory() {
  static const std::string* directory = [] {
    char pattern[] = "/tmp/mivet-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::atexit([] { std::filesystem::remove_all(scratchDirectory()); });
    return new std::string(pattern);
  }();
  return *directory;
}

void writeFile(const std::string& path, const std::string& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

// Runs `edit`; when it throws, the file must be unchanged. Returns whether it succeeded.
template <typename Edit>
bool editKeepsFileOnFailure(const std::string& path, Edit edit) {
  auto before = mivet::readWholeFile(path);
  try {
    edit();
    return true;
  } catch (const std::runtime_error&) {
    if (mivet::readWholeFile(path) != before) std::abort();
    return false;
  }
}

void fuzzJson(const std::string& path, const std::string& command) {
  if (editKeepsFileOnFailure(path, [&] { mivet::mcp::upsertJSONMCP(path, command); }) &&
      !mivet::mcp::hasJSONMCP(path)) {
    std::abort();
  }
  if (editKeepsFileOnFailure(path, [&] { mivet::mcp::removeJSONMCP(path); }) &&
      mivet::mcp::hasJSONMCP(path)) {
    std::abort();
  }
}

void fuzzToml(const std::string& path, const std::string& command) {
  if (editKeepsFileOnFailure(path, [&] { mivet::mcp::upsertCodexMCP(path, command); }) &&
      !mivet::mcp::hasCodexMCP(path)) {
    std::abort();
  }
  if (editKeepsFileOnFailure(path, [&] { mivet::mcp::removeCodexMCP(path); }) &&
      mivet::mcp::hasCodexMCP(path)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  bool json = provider.ConsumeBool();
  std::string command = provider.ConsumeRandomLengthString(64);
  std::string content = provider.ConsumeRemainingBytesAsString();
  std::string path = scratchDirectory() + (json ? "/config.json" : "/config.toml");
  writeFile(path, content);
  if (json) {
    fuzzJson(path, command);
  } else {
    fuzzToml(path, command);
  }
  return 0;
}
