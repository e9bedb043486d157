#include "mcp/server/message_loop.h"

#include "common/json_reader.h"
#include "common/json_writer.h"
#include "common/memory_release.h"
#include "common/unicode_text.h"
#include "common/waiting_io.h"
#include "mcp/server/method_table.h"
#include "mcp/server/utf8_repair.h"

#include <unistd.h>

#include <cstring>
#include <tuple>

namespace mivet::mcp {
namespace {

std::optional<std::string> envelope(simdjson::dom::element id, const MethodOutcome& outcome) {
  std::string line;
  line.reserve(outcome.result.size() + 64);
  JsonWriter writer(line);
  writer.beginObject();
  writer.key("jsonrpc");
  writer.string("2.0");
  writer.key("id");
  writer.element(id);
  if (outcome.errorMessage) {
    writer.key("error");
    writer.beginObject();
    writer.key("code");
    writer.number(std::int64_t{methodNotFoundCode});
    writer.key("message");
    writer.string(*outcome.errorMessage);
    writer.endObject();
  } else {
    writer.key("result");
    writer.raw(outcome.result);
  }
  writer.endObject();
  if (writer.failed()) return std::nullopt;
  line += '\n';
  return line;
}

// Above this, what a line or its answer made grow is given back afterwards.
constexpr std::size_t largeMessageBytes = std::size_t{4} << 20;

// Handles one line; returns the size of the response written.
std::size_t handleLine(std::string_view line, JsonParser& parser, int outFd,
                       const AppRequestSender& send) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return 0;
  std::optional<std::string> response;
  if (isValidUtf8(line)) {
    response = responseForLine(line, parser, send);
  } else {
    response = responseForLine(repairUtf8(line), parser, send);
  }
  if (!response) return 0;
  // A reader that has gone is no reason to stop: the next line may still come.
  std::ignore = writeAll(outFd, *response);
  return response->size();
}

// After a line or an answer of several MiB, the server goes back to about
// its idle size instead of keeping the largest line's memory for good.
void releaseAfterLargeMessage(std::string& pending, JsonParser& parser) {
  std::string().swap(pending);
  releaseLargeBuffers(parser);
  returnFreedMemoryToSystem();
}

}  // namespace

std::optional<std::string> responseForLine(std::string_view line, JsonParser& parser,
                                           const AppRequestSender& send) {
  auto request = parseJsonObject(parser, line);
  if (!request) return std::nullopt;
  auto method = stringMember(*request, "method");
  if (!method) return std::nullopt;
  simdjson::dom::element id;
  if (request->at_key("id").get(id) != simdjson::SUCCESS) return std::nullopt;
  auto params = objectMember(*request, "params").value_or(emptyJsonObject());
  return envelope(id, handleRequest(*method, params, send));
}

void serveLines(int inFd, int outFd, const AppRequestSender& send) {
  auto parser = newJsonParser();
  std::string pending;  // the start of a line that spans reads
  char buffer[65536];
  for (;;) {
    ssize_t count = readWaiting(inFd, buffer, sizeof buffer);
    if (count <= 0) break;
    const char* start = buffer;
    const char* end = buffer + count;
    while (const void* found = std::memchr(start, '\n', static_cast<std::size_t>(end - start))) {
      const char* lineEnd = static_cast<const char*>(found);
      std::size_t answered;
      if (pending.empty()) {
        answered = handleLine(std::string_view(start, lineEnd - start), *parser, outFd, send);
      } else {
        pending.append(start, lineEnd);
        answered = handleLine(pending, *parser, outFd, send);
        pending.clear();
      }
      if (pending.capacity() > largeMessageBytes || answered > largeMessageBytes ||
          holdsLargeBuffers(*parser)) {
        releaseAfterLargeMessage(pending, *parser);
      }
      start = lineEnd + 1;
    }
    pending.append(start, end);
  }
  if (!pending.empty()) handleLine(pending, *parser, outFd, send);
}

}  // namespace mivet::mcp
