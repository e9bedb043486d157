// Feeds arbitrary bytes to the MCP line loop. The application's answers come
// from the fuzz input too. Every line written must be one JSON-RPC response.
#include "common/json_reader.h"
#include "fuzz/memory_file.h"
#include "mcp/app_connection/ipc_client.h"
#include "mcp/server/message_loop.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

namespace {

void checkResponses(const std::string& output) {
  auto parser = mivet::newJsonParser();
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) std::abort();  // a response without its LF
    auto response =
        mivet::parseJsonObject(*parser, std::string_view(output).substr(start, end - start));
    if (!response || mivet::stringMember(*response, "jsonrpc") != "2.0") std::abort();
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  std::string answer = provider.ConsumeRandomLengthString(4096);
  std::string lines = provider.ConsumeRemainingBytesAsString();
  auto send = [&](std::string_view, simdjson::dom::object) {
    return mivet::mcp::parseIPCAnswer(answer);
  };
  auto input = mivet::fuzz::memoryFile(lines);
  auto output = mivet::fuzz::memoryFile("");
  mivet::mcp::serveLines(input.get(), output.get(), send);
  checkResponses(mivet::fuzz::contentOf(output.get()));
  return 0;
}
