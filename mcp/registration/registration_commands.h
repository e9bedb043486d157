#pragma once

#include "mcp/registration/command_target.h"

#include <string>
#include <vector>

namespace mivet::mcp {

// Where each assistant keeps its configuration, for one home directory.
struct ConfigLocations {
  std::string home;
  std::string claude;                    // home + "/.claude.json"
  std::string codex;                     // home + "/.codex/config.toml"
  std::vector<std::string> antigravity;  // antigravityConfigPaths(home)
};

// The locations for `home`; looks at the file system only to list the
// Antigravity files. Never fails.
ConfigLocations configLocationsFor(const std::string& home);

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
