#include "mcp/app_connection/ipc_client.h"

#include "common/app_socket.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "common/uuid.h"

#include <unistd.h>

#include <variant>

namespace mivet::mcp {
namespace {

IPCResult failure(std::string code) {
  return IPCResult{false, std::nullopt, std::move(code), {}};
}

std::string_view connectFailureCode(ConnectFailure failure) {
  switch (failure) {
    case ConnectFailure::socketCreate:
      return "socket_create_failed";
    case ConnectFailure::pathTooLong:
      return "socket_path_too_long";
    case ConnectFailure::timedOut:
      // An application is there but takes no connection: starting it again
      // and retrying would only wait out the time-out thirty times more.
      return ipcReadFailedCode;
    case ConnectFailure::connect:
      break;
  }
  return appNotRunningCode;
}

// The parser of the last answer, reused for the next one once no result it
// produced is held any more, so that its buffers need not be allocated anew
// for every call. One that grew for a huge answer is not kept.
thread_local std::shared_ptr<JsonParser> reusableAnswerParser;

std::shared_ptr<JsonParser> answerParser() {
  if (!reusableAnswerParser || reusableAnswerParser.use_count() > 1) {
    reusableAnswerParser = newJsonParser();
  }
  return reusableAnswerParser;
}

bool appNotRunning(const IPCResult& result) {
  return !result.ok && result.error && *result.error == appNotRunningCode;
}

}  // namespace

std::optional<std::string> ipcRequestLine(std::string_view method, simdjson::dom::object params) {
  std::string line;
  JsonWriter writer(line);
  writer.beginObject();
  writer.key("id");
  writer.string(newUpperCaseUUID());
  writer.key("method");
  writer.string(method);
  writer.key("params");
  writer.element(params);
  writer.endObject();
  if (writer.failed()) return std::nullopt;
  line += '\n';
  return line;
}

IPCResult parseIPCAnswer(std::string_view line) {
  auto parser = answerParser();
  auto answer = parseJsonObject(*parser, line);
  if (holdsLargeBuffers(*parser)) reusableAnswerParser.reset();
  if (!answer) return failure(std::string(ipcReadFailedCode));
  IPCResult result;
  bool ok = false;
  result.ok = answer->at_key("ok").get_bool().get(ok) == simdjson::SUCCESS && ok;
  simdjson::dom::element value;
  if (answer->at_key("result").get(value) == simdjson::SUCCESS) result.result = value;
  if (auto error = stringMember(*answer, "error")) result.error = std::string(*error);
  result.storage = std::move(parser);
  return result;
}

IPCResult connectAndSendIPC(const std::string& socketPath, std::string_view method,
                            simdjson::dom::object params, int timeoutSeconds,
                            const AppConnector& connect) {
  auto connection = connect(socketPath, timeoutSeconds);
  if (auto* failed = std::get_if<ConnectFailure>(&connection)) {
    return failure(std::string(connectFailureCode(*failed)));
  }
  auto request = ipcRequestLine(method, params);
  if (!request) return failure("encode_failed");
  auto line = exchangeLine(std::get<UniqueFd>(connection).get(), *request);
  if (!line) return failure(std::string(ipcReadFailedCode));
  return parseIPCAnswer(*line);
}

void pauseFor(unsigned microseconds) {
  ::usleep(microseconds);
}

IPCResult sendIPC(const SocketConfig& config, std::string_view method, simdjson::dom::object params,
                  const AppAccess& access, int timeoutSeconds) {
  IPCResult result = connectAndSendIPC(config.path, method, params, timeoutSeconds, access.connect);
  if (!appNotRunning(result) || !config.isDefault) return result;
  access.launch();
  for (int attempt = 0; attempt < launchRetries; ++attempt) {
    access.pause(launchRetryPauseMicroseconds);
    result = connectAndSendIPC(config.path, method, params, timeoutSeconds, access.connect);
    if (!appNotRunning(result)) return result;
  }
  return failure(std::string(appNeverAnsweredMessage));
}

}  // namespace mivet::mcp
