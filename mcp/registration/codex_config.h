#pragma once

#include <string>

namespace mivet::mcp {

// Writes the server's table with `command` at the end of Codex's TOML file at
// `path`, replacing any earlier registration and keeping every other line
// (codexConfigWithServer). Creates the file and its directory when missing.
// Throws std::runtime_error naming the file, leaving it as it was, when the
// directory cannot be created, the file is not a regular file, cannot be
// read or is not UTF-8, the edit is refused (the file is not valid TOML,
// defines the server in a form the edit cannot take out, or would change
// another value), or the new content cannot be written.
void upsertCodexMCP(const std::string& path, const std::string& command);

// Takes the server's registration out of the file at `path`
// (codexConfigWithoutServer); the file is never deleted. A file that is
// missing, not a regular file, unreadable or not UTF-8, or that holds no
// registration, is not touched. Throws std::runtime_error naming the file,
// leaving it as it was, when the edit is refused (a form it cannot take out,
// or a change to another value) or the write fails.
void removeCodexMCP(const std::string& path);

}  // namespace mivet::mcp
