#pragma once

#include "mcp/app_connection/ipc_client.h"

#include <simdjson.h>

#include <functional>
#include <string>
#include <string_view>

namespace mivet::mcp {

// Carries one request to the desktop application: method and params.
using AppRequestSender =
    std::function<IPCResult(std::string_view method, simdjson::dom::object params)>;

// The text item of a tool result: the application's result with sorted keys
// when it reported success with an object or array; otherwise the failure
// object {"error":...,"ok":false}.
std::string toolResultText(const IPCResult& answer);

// "tools/call": sends "name" and "arguments" to the application unchanged and
// returns the tool result object as compact JSON. Never fails.
std::string callTool(simdjson::dom::object params, const AppRequestSender& send);

}  // namespace mivet::mcp
