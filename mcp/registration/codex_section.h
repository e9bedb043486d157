#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// The header line that opens the server's table in Codex's configuration.
inline constexpr std::string_view codexMivetHeader = "[mcp_servers.mivet]";

// `text` without every block that a header of the server's table opens, up
// to the next line that opens a table of another name, and without trailing
// blank lines. Such a header names a key that begins with "mcp_servers",
// "mivet": the server's table, its sub-tables and arrays of tables below it,
// also with blanks inside the brackets, quoted keys or a comment after it.
// Lines are split at "\n"; a "\r" before the "\n" is part of the line end,
// kept with its line. A byte-order mark at the start stays. Pure; never
// fails. Other spellings of the server (dotted keys, inline tables, a header
// line inside a multi-line string) are not seen: callers check the result.
std::string stripCodexMivetSection(std::string_view text);

// The server's table: the header, "command = <quoted command>" and "args = []",
// joined with "\n" and without a final "\n". Never fails.
std::string codexMivetSection(std::string_view command);

// Whether some line of `text`, split at every Unicode newline and trimmed of
// horizontal white space, reads exactly "[mcp_servers.mivet]". Never fails.
bool containsCodexMivetHeader(std::string_view text);

}  // namespace mivet::mcp
