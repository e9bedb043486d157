#pragma once

#include "common/app_socket.h"
#include "common/json_reader.h"
#include "mcp/app_connection/app_launcher.h"
#include "mcp/app_connection/socket_config.h"

#include <simdjson.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mivet::mcp {

// What one exchange with the desktop application gave.
struct IPCResult {
  bool ok = false;                               // the answer's "ok" was the boolean true
  std::optional<simdjson::dom::element> result;  // the answer's "result", null included
  std::optional<std::string> error;              // the answer's "error" string, or a failure code
  std::shared_ptr<JsonParser> storage;           // keeps `result` alive
};

inline constexpr int ipcTimeoutSeconds = 15;
inline constexpr int launchRetries = 30;
inline constexpr unsigned launchRetryPauseMicroseconds = 150000;
inline constexpr std::string_view appNotRunningCode = "mivet_app_not_running";
inline constexpr std::string_view ipcReadFailedCode = "ipc_read_failed";
inline constexpr std::string_view appNeverAnsweredMessage =
    "Mivet.app is not running. Open Mivet on your Mac and try again.";

// Opens the connection to the application: connectToAppSocket, or a stand-in
// in tests.
using AppConnector = std::function<std::variant<UniqueFd, ConnectFailure>(
    const std::string& socketPath, int timeoutSeconds)>;

// One request over a fresh connection. Failures come back as ok false with
// one of "socket_create_failed", "socket_path_too_long",
// "mivet_app_not_running", "encode_failed" or "ipc_read_failed" (also for a
// listener that takes no connection within the time-out).
IPCResult connectAndSendIPC(const std::string& socketPath, std::string_view method,
                            simdjson::dom::object params, int timeoutSeconds = ipcTimeoutSeconds,
                            const AppConnector& connect = connectToAppSocket);

// The request line sent for `method`: {"id":<a new upper-case UUID>,
// "method":..., "params":...} and a LF; nullopt when `params` cannot be written.
std::optional<std::string> ipcRequestLine(std::string_view method, simdjson::dom::object params);

// Reads one response line of the application: ok only for "ok" true, the
// "result" whatever its type, the "error" when it is a string. A line that is
// not a JSON object gives the failure "ipc_read_failed".
IPCResult parseIPCAnswer(std::string_view line);

using AppLauncher = std::function<void()>;
using Pause = std::function<void(unsigned microseconds)>;

// Sleeps for `microseconds`.
void pauseFor(unsigned microseconds);

// How sendIPC reaches the desktop application: the real ones, or stand-ins
// in tests.
struct AppAccess {
  AppConnector connect = connectToAppSocket;
  AppLauncher launch = launchMivetAppInBackground;
  Pause pause = pauseFor;
};

// connectAndSendIPC, and when the application does not answer on the default
// socket: launch it once, then retry up to 30 times 150 ms apart before giving
// up with appNeverAnsweredMessage.
IPCResult sendIPC(const SocketConfig& config, std::string_view method, simdjson::dom::object params,
                  const AppAccess& access = {}, int timeoutSeconds = ipcTimeoutSeconds);

}  // namespace mivet::mcp
