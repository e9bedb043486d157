#pragma once

#include "MivetBrowserBridge/frame_workspace.h"

#include <simdjson.h>

#include <string>
#include <string_view>

namespace mivet::bridge {

// Every blocking read and write on the application's socket gives up after this.
inline constexpr int appSocketTimeoutSeconds = 10;

// What goes back to the browser for one message: compact JSON text ready to
// be written when `text` is not empty, otherwise `object` (the application's
// answer, or the bridge's error object) to be serialised. Both live in the
// workspace until the next frame.
struct AppReply {
  simdjson::dom::object object;
  std::string_view text;
};

// Sends the request for `method` to the desktop application over a fresh
// connection to `socketPath` and returns its answer object whole. The
// request's params are in workspace.request as compact JSON exactly as
// JsonWriter writes them, or workspace.request is empty when they could not
// be serialised. Never fails: when no object comes back, the reply is
// {"ok":false,"error":code} with "socket_error", "socket_path_too_long",
// "mivet_app_not_running", "encode_error" or "ipc_eof" (also for a listener
// that takes no connection within the time-out). No launch, no retry.
AppReply forwardToMivetApp(const std::string& socketPath, std::string_view method,
                           FrameWorkspace& workspace, int timeoutSeconds = appSocketTimeoutSeconds);

}  // namespace mivet::bridge
