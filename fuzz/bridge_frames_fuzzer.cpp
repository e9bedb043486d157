// Feeds arbitrary bytes to the bridge's frame loop, with no application
// listening. Every frame written back must carry its true length and a JSON
// object, and the loop must end.
#include "MivetBrowserBridge/message_loop.h"
#include "common/json_reader.h"
#include "fuzz/memory_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void checkFrames(const std::string& output) {
  auto parser = mivet::newJsonParser();
  std::size_t at = 0;
  while (at < output.size()) {
    if (output.size() - at < 4) std::abort();
    std::uint32_t length;
    std::memcpy(&length, output.data() + at, 4);
    at += 4;
    if (output.size() - at < length) std::abort();
    if (!mivet::parseJsonObject(*parser, std::string_view(output).substr(at, length))) std::abort();
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto input = mivet::fuzz::memoryFile(std::string_view(reinterpret_cast<const char*>(data), size));
  auto output = mivet::fuzz::memoryFile("");
  mivet::bridge::serveFrames("/nonexistent/mivet-fuzz.sock", input.get(), output.get());
  checkFrames(mivet::fuzz::contentOf(output.get()));
  return 0;
}
