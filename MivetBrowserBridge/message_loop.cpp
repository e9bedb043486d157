#include "MivetBrowserBridge/message_loop.h"

#include "MivetBrowserBridge/app_forwarding.h"
#include "MivetBrowserBridge/error_replies.h"
#include "MivetBrowserBridge/frame_reader.h"
#include "MivetBrowserBridge/frame_writer.h"
#include "MivetBrowserBridge/in_place_json.h"
#include "MivetBrowserBridge/message_table.h"
#include "MivetBrowserBridge/message_text.h"
#include "MivetBrowserBridge/request_line.h"
#include "common/memory_release.h"

namespace mivet::bridge {
namespace {

// Reads a body of `length` bytes from `from` into workspace.body, with room
// past it for the parser's padding. False when the input ends first.
bool readBody(std::uint32_t length, int from, FrameWorkspace& workspace) {
  workspace.body.reserve(length + simdjson::SIMDJSON_PADDING);
  return readExactInto(length, from, workspace.body);
}

// The method for the message in workspace.body, with the request's params
// left in workspace.request (empty when they cannot be serialised); nullopt
// when the body is not a JSON object.
std::optional<std::string_view> prepareRequest(FrameWorkspace& workspace) {
  if (auto method = requestFromText(workspace.body, workspace.request)) return method;
  auto message = parseObjectInPlace(workspace.parsers, workspace.body);
  if (!message) return std::nullopt;
  AppRequest request = requestForMessage(*message);
  workspace.request.clear();
  if (!appendParams(workspace.request, request.params)) workspace.request.clear();
  return request.method;
}

void writeReply(const AppReply& reply, FrameWorkspace& workspace, int to) {
  if (!reply.text.empty()) {
    writeFrame(reply.text, to);
  } else {
    writeNativeMessage(reply.object, workspace.request, to);
  }
}

}  // namespace

bool serveNextFrame(const std::string& socketPath, FrameWorkspace& workspace, int from, int to) {
  auto field = readExact(4, from);
  if (!field) return false;
  std::uint32_t length = decodeFrameLength(*field);
  if (!frameLengthAcceptable(length)) {
    writeNativeMessage(errorReply("frame_size_out_of_bounds"), workspace.request, to);
    return false;
  }
  auto method = readBody(length, from, workspace) ? prepareRequest(workspace) : std::nullopt;
  if (!method) {
    writeNativeMessage(errorReply("invalid_json_frame"), workspace.request, to);
    return false;
  }
  writeReply(forwardToMivetApp(socketPath, *method, workspace), workspace, to);
  return true;
}

namespace {

// Room for a body of the largest size and for a request or an answer twice
// as large ("/" becomes "\/"), reserved once: the pages are used only as
// they are filled, and no buffer has to be moved while a large one grows.
constexpr std::size_t reservedBytes = 2 * std::size_t{maxMessageBytes};

void reserveRoom(FrameWorkspace& workspace) {
  workspace.body.reserve(reservedBytes);
  workspace.request.reserve(reservedBytes);
}

// An answer larger than the reserved room made the buffers grow; they go
// back to their usual size, and the freed memory to the system.
void shrinkAfterLargeAnswer(FrameWorkspace& workspace) {
  if (workspace.body.capacity() <= reservedBytes && workspace.request.capacity() <= reservedBytes &&
      !holdsLargeBuffers(workspace.parsers)) {
    return;
  }
  std::string().swap(workspace.body);
  std::string().swap(workspace.request);
  releaseLargeBuffers(workspace.parsers);
  returnFreedMemoryToSystem();
  reserveRoom(workspace);
}

}  // namespace

void serveFrames(const std::string& socketPath, int from, int to) {
  FrameWorkspace workspace;
  reserveRoom(workspace);
  while (serveNextFrame(socketPath, workspace, from, to)) shrinkAfterLargeAnswer(workspace);
}

}  // namespace mivet::bridge
