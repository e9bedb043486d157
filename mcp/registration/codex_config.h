#pragma once

#include <string>

namespace mivet::mcp {

// Writes the server's table with `command` at the end of Codex's TOML file at
// `path`, replacing any earlier one and keeping every other line. Creates the
// file and its directory when missing. Throws std::runtime_error naming the
// file, leaving it as it was, when the directory cannot be created, the file
// is not a regular file, cannot be read or is not UTF-8, the edit would turn
// valid TOML into invalid TOML (a table written in a form the line edit does
// not recognise) or change any value of valid TOML outside the server's table
// (a header line inside a multi-line string), or the new content cannot be
// written.
void upsertCodexMCP(const std::string& path, const std::string& command);

// Takes the server's table out of the file at `path`; the file is never
// deleted. A file that is missing, not a regular file, unreadable, not UTF-8
// or without the header text is not touched. Throws std::runtime_error naming
// the file, leaving it as it was, when the edit would make valid TOML invalid
// or change a value outside the server's table, or the write fails.
void removeCodexMCP(const std::string& path);

}  // namespace mivet::mcp
