#pragma once

#include "MivetBrowserBridge/frame_workspace.h"

#include <simdjson.h>

#include <string>
#include <string_view>

namespace mivet::bridge {

// Every blocking read and write on the application's socket gives up after this.
inline constexpr int appSocketTimeoutSeconds = 10;

// Sends {"id","method","params"} to the desktop application over a fresh
// connection to `socketPath` and returns its answer object whole. Never
// fails: when no object comes back, returns {"ok":false,"error":code} with
// "socket_error", "socket_path_too_long", "mivet_app_not_running",
// "encode_error" or "ipc_eof". `params` may live in workspace.parser; the
// returned object lives there until its next parse. No launch, no retry.
simdjson::dom::object forwardToMivetApp(const std::string& socketPath, std::string_view method,
                                        simdjson::dom::object params, FrameWorkspace& workspace);

}  // namespace mivet::bridge
