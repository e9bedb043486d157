#include "MivetBrowserBridge/app_forwarding.h"

#include "MivetBrowserBridge/error_replies.h"
#include "MivetBrowserBridge/in_place_json.h"
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

AppReply failure(std::string_view code) {
  return {errorReply(code), {}};
}

}  // namespace

AppReply forwardToMivetApp(const std::string& socketPath, std::string_view method,
                           simdjson::dom::object params, FrameWorkspace& workspace,
                           std::string_view paramsText) {
  auto connection = connectToAppSocket(socketPath, appSocketTimeoutSeconds);
  if (auto* failed = std::get_if<ConnectFailure>(&connection)) {
    return failure(connectFailureCode(*failed));
  }
  if (!buildRequestLine(workspace.request, method, params, paramsText)) {
    return failure("encode_error");
  }
  // The body has served its purpose once the request is built.
  std::string& line = workspace.body;
  if (!exchangeLineInto(std::get<UniqueFd>(connection).get(), workspace.request, line)) {
    return failure("ipc_eof");
  }
  auto answer = parseObjectInPlace(workspace.parsers, line);
  if (!answer) return failure("ipc_eof");
  return {*answer, line};
}

}  // namespace mivet::bridge
