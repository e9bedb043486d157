#pragma once

#include "common/json_reader.h"
#include "mcp/server/tool_call.h"

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>

namespace mivet::mcp {

// The response line (LF included) for one input line (without its LF), or
// nullopt when the line is dropped: empty, not JSON, not an object, no
// string "method", or no "id" (a notification).
std::optional<std::string> responseForLine(std::string_view line, JsonParser& parser,
                                           const AppRequestSender& send);

// Reads lines from `inFd` until end of input and writes every response to
// `outFd` with one write, before the next line is read.
void serveLines(int inFd, int outFd, const AppRequestSender& send);

}  // namespace mivet::mcp
