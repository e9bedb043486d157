#pragma once

#include <string>

namespace mivet::mcp {

// The server's registration in Codex's TOML configuration: its tables, the
// header "[mcp_servers.mivet]" (in any spelling) and its sub-tables, each up
// to the next table header. Where they are is read from toml++'s positions
// when the file is TOML, from its header lines (split at LF) when it is not;
// install, uninstall and the status report all go by that one reading.

// Writes the server's table with `command` at the end of Codex's TOML file at
// `path`, replacing every earlier table of the server and keeping every other
// line. A file that is not TOML only because it holds the server's table more
// than once is repaired that way. Creates the file and its directory when
// missing. Throws std::runtime_error naming the file, leaving it as it was,
// when the directory cannot be created, the file is not a regular file,
// cannot be read or is not UTF-8, the edit is refused (the file is otherwise
// not valid TOML, defines the server in a form the edit cannot take out, or
// would change another value), or the new content cannot be written.
void upsertCodexMCP(const std::string& path, const std::string& command);

// Takes every table of the server out of the file at `path`; the file is
// never deleted. A file that is missing, not a regular file, unreadable or
// not UTF-8, or that holds no registration (hasCodexMCP), is not touched.
// Throws std::runtime_error naming the file, leaving it as it was, when the
// edit is refused (a form it cannot take out, or a change to another value)
// or the write fails.
void removeCodexMCP(const std::string& path);

// Whether the file at `path` holds the server's registration: toml++ reads
// mcp_servers.mivet in it, in any form, or, when it is not TOML, a line is a
// header of the server's table. Anything unreadable or not UTF-8 answers
// false.
bool hasCodexMCP(const std::string& path);

}  // namespace mivet::mcp
