#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// The header line that opens the server's table in Codex's configuration.
inline constexpr std::string_view codexMivetHeader = "[mcp_servers.mivet]";

// `text` without every block that a line reading exactly "[mcp_servers.mivet]"
// (after trimming horizontal white space) opens, up to the next line that opens
// another table, and without trailing blank lines. Pure; never fails.
std::string stripCodexMivetSection(std::string_view text);

// The server's table: the header, "command = <quoted command>" and "args = []",
// joined with "\n" and without a final "\n". Never fails.
std::string codexMivetSection(std::string_view command);

// Whether some line of `text`, split at every Unicode newline and trimmed of
// horizontal white space, reads exactly "[mcp_servers.mivet]". Never fails.
bool containsCodexMivetHeader(std::string_view text);

}  // namespace mivet::mcp
