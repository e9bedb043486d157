#include "MivetBrowserBridge/app_forwarding.h"

#include "MivetBrowserBridge/error_replies.h"
#include "MivetBrowserBridge/request_line.h"
#include "common/app_socket.h"

#include <variant>

namespace mivet::bridge {
namespace {

std::string_view connectFailureCode(ConnectFailure failure) {
  switch (failure) {
    case ConnectFailure::socketCreate:
      return "socket_error";
    case ConnectFailure::pathTooLong:
      return "socket_path_too_long";
    case ConnectFailure::connect:
      break;
  }
  return "mivet_app_not_running";
}

}  // namespace

simdjson::dom::object forwardToMivetApp(const std::string& socketPath, std::string_view method,
                                        simdjson::dom::object params, FrameWorkspace& workspace) {
  auto connection = connectToAppSocket(socketPath, appSocketTimeoutSeconds);
  if (auto* failed = std::get_if<ConnectFailure>(&connection)) {
    return errorReply(connectFailureCode(*failed));
  }
  if (!buildRequestLine(workspace.bytes, method, params)) return errorReply("encode_error");
  auto line = exchangeLine(std::get<UniqueFd>(connection).get(), workspace.bytes);
  if (!line) return errorReply("ipc_eof");
  auto answer = parseJsonObject(*workspace.parser, *line);
  if (!answer) return errorReply("ipc_eof");
  return *answer;
}

}  // namespace mivet::bridge
