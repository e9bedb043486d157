#include "MivetBrowserBridge/app_forwarding.h"

#include "MivetBrowserBridge/compact_copy.h"
#include "MivetBrowserBridge/error_replies.h"
#include "MivetBrowserBridge/in_place_json.h"
#include "MivetBrowserBridge/request_line.h"
#include "common/app_socket.h"
#include "common/unicode_text.h"

#include <variant>

namespace mivet::bridge {
namespace {

std::string_view connectFailureCode(ConnectFailure failure) {
  switch (failure) {
    case ConnectFailure::socketCreate:
      return "socket_error";
    case ConnectFailure::pathTooLong:
      return "socket_path_too_long";
    case ConnectFailure::timedOut:
      return "ipc_eof";  // an application is there, but gave no answer in time
    case ConnectFailure::connect:
      break;
  }
  return "mivet_app_not_running";
}

AppReply failure(std::string_view code) {
  return {errorReply(code), {}};
}

// The answer line as the reply's compact text, when the text walk can vouch
// for it: the line itself when it is already written as JsonWriter would,
// else a copy in `copy`. Empty when the line has to be parsed to be judged.
std::string_view answerAsText(std::string_view line, std::string& copy) {
  const std::size_t start = skipJsonSpace(line, 0);
  if (start >= line.size() || line[start] != '{' || !isValidUtf8(line)) return {};
  if (auto length = compactValueLength(line);
      length && skipJsonSpace(line, *length) == line.size()) {
    return line.substr(0, *length);
  }
  copy.clear();
  auto end = appendCompactValue(copy, line);
  if (!end || skipJsonSpace(line, *end) != line.size()) return {};
  return copy;
}

}  // namespace

AppReply forwardToMivetApp(const std::string& socketPath, std::string_view method,
                           FrameWorkspace& workspace, int timeoutSeconds) {
  auto connection = connectToAppSocket(socketPath, timeoutSeconds);
  if (auto* failed = std::get_if<ConnectFailure>(&connection)) {
    return failure(connectFailureCode(*failed));
  }
  if (workspace.request.empty()) return failure("encode_error");
  wrapParamsInRequestLine(workspace.request, method);
  // The body has served its purpose once the request is built.
  std::string& line = workspace.body;
  if (!exchangeLineInto(std::get<UniqueFd>(connection).get(), workspace.request, line)) {
    return failure("ipc_eof");
  }
  if (auto text = answerAsText(line, workspace.request); !text.empty()) return {{}, text};
  auto answer = parseObjectInPlace(workspace.parsers, line);
  if (!answer) return failure("ipc_eof");
  return {*answer, {}};
}

}  // namespace mivet::bridge
