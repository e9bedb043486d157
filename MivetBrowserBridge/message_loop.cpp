#include "MivetBrowserBridge/message_loop.h"

#include "MivetBrowserBridge/app_forwarding.h"
#include "MivetBrowserBridge/error_replies.h"
#include "MivetBrowserBridge/frame_reader.h"
#include "MivetBrowserBridge/frame_writer.h"
#include "MivetBrowserBridge/in_place_json.h"
#include "MivetBrowserBridge/message_table.h"

namespace mivet::bridge {
namespace {

// The message object in a body of `length` bytes read from `from`; nullopt
// when the body is cut short or is not a JSON object.
std::optional<simdjson::dom::object> readMessage(std::uint32_t length, int from,
                                                 FrameWorkspace& workspace) {
  // Room past the body lets the parser read the bytes where they are.
  workspace.body.reserve(length + simdjson::SIMDJSON_PADDING);
  if (!readExactInto(length, from, workspace.body)) return std::nullopt;
  return parseObjectInPlace(workspace.parsers, workspace.body);
}

}  // namespace

bool serveNextFrame(const std::string& socketPath, FrameWorkspace& workspace, int from, int to) {
  auto field = readExact(4, from);
  if (!field) return false;
  std::uint32_t length = decodeFrameLength(*field);
  if (!frameLengthAcceptable(length)) {
    writeNativeMessage(errorReply("frame_size_out_of_bounds"), workspace.body, to);
    return false;
  }
  auto message = readMessage(length, from, workspace);
  if (!message) {
    writeNativeMessage(errorReply("invalid_json_frame"), workspace.body, to);
    return false;
  }
  AppRequest request = requestForMessage(*message, workspace.body);
  AppReply reply =
      forwardToMivetApp(socketPath, request.method, request.params, workspace, request.paramsText);
  writeNativeMessage(reply.object, reply.text, workspace.request, to);
  return true;
}

void serveFrames(const std::string& socketPath, int from, int to) {
  FrameWorkspace workspace;
  while (serveNextFrame(socketPath, workspace, from, to)) {
  }
}

}  // namespace mivet::bridge
