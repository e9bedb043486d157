#pragma once

#include "mcp/registration/command_target.h"
#include "mcp/registration/config_locations.h"

#include <string>
#include <vector>

namespace mivet::mcp {

// Registers `command` in the selected clients' files, Claude Code, then Codex,
// then each Antigravity file, and returns one report entry per file written
// ("Claude Code (<path>)", ...). Throws the first editor's std::runtime_error;
// files written before it stay written.
std::vector<std::string> installRegistrations(const ConfigLocations& locations,
                                              ClientSelection selection,
                                              const std::string& command);

// Removes the registration from the selected clients' files in the same
// order. Throws the first editor's std::runtime_error; removals before it stay.
void uninstallRegistrations(const ConfigLocations& locations, ClientSelection selection);

}  // namespace mivet::mcp
