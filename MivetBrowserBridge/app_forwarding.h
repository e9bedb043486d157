#pragma once

#include "MivetBrowserBridge/frame_workspace.h"

#include <simdjson.h>

#include <string>
#include <string_view>

namespace mivet::bridge {

// Every blocking read and write on the application's socket gives up after this.
inline constexpr int appSocketTimeoutSeconds = 10;

// What goes back to the browser for one message.
struct AppReply {
  simdjson::dom::object object;  // the application's answer, or the bridge's error object
  std::string_view text;         // the answer line `object` was parsed from; empty for errors
};

// Sends {"id","method","params"} to the desktop application over a fresh
// connection to `socketPath` and returns its answer object whole. Never
// fails: when no object comes back, the reply is {"ok":false,"error":code}
// with "socket_error", "socket_path_too_long", "mivet_app_not_running",
// "encode_error" or "ipc_eof". `params` (and `paramsText`, see
// buildRequestLine) may live in `workspace`; the reply lives there until the
// next frame. No launch, no retry.
AppReply forwardToMivetApp(const std::string& socketPath, std::string_view method,
                           simdjson::dom::object params, FrameWorkspace& workspace,
                           std::string_view paramsText = {});

}  // namespace mivet::bridge
