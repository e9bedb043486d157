#pragma once

#include "mcp/server/tool_call.h"

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>

namespace mivet::mcp {

// Protocol versions answered as asked; any other request gets the fallback.
inline constexpr std::string_view supportedProtocolVersions[] = {"2025-06-18", "2025-03-26",
                                                                 "2024-11-05"};
inline constexpr std::string_view fallbackProtocolVersion = "2024-11-05";
inline constexpr int methodNotFoundCode = -32601;

// What a method gives: a result as compact JSON text, or the error message
// of a method-not-found error.
struct MethodOutcome {
  std::string result;
  std::optional<std::string> errorMessage;
};

// The version "initialize" answers with for `params`.
std::string_view negotiatedProtocolVersion(simdjson::dom::object params);

// Answers one MCP request. "tools/call" goes to the application through `send`.
MethodOutcome handleRequest(std::string_view method, simdjson::dom::object params,
                            const AppRequestSender& send);

}  // namespace mivet::mcp
