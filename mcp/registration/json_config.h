#pragma once

#include "mcp/registration/config_file.h"

#include <string>

namespace mivet::mcp {

// Registers the server as "mivet" in the "mcpServers" object of the JSON
// configuration file at `path`, with `command` and no arguments, keeping
// every other member and server. Creates the file and its directories when
// missing. Throws std::runtime_error naming the file when a directory cannot
// be created, the file exists but cannot be read or is not a JSON object
// (it is then left as it was), or the new content cannot be written. Shares
// the file with other writers as `sharing` says (see editConfigFile).
void upsertJSONMCP(const std::string& path, const std::string& command,
                   const SharedFileOptions& sharing = {});

// Takes the "mivet" entry out of "mcpServers" in the file at `path`. A file
// that is missing, unreadable, not a JSON object or without the entry is not
// touched. Throws std::runtime_error naming the file only when the new
// content cannot be written.
void removeJSONMCP(const std::string& path, const SharedFileOptions& sharing = {});

// Whether the file at `path` is a JSON object whose "mcpServers" object has a
// member "mivet". Anything unreadable or malformed answers false.
bool hasJSONMCP(const std::string& path);

}  // namespace mivet::mcp
