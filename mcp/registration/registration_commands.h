#pragma once

#include "mcp/registration/command_target.h"

#include <string>
#include <vector>

namespace mivet::mcp {

// The folders that Claude Code and Codex take from their environment
// variables instead of the home directory; empty when unset or empty.
struct ClientConfigDirectories {
  std::string claude;  // CLAUDE_CONFIG_DIR
  std::string codex;   // CODEX_HOME
};

// CLAUDE_CONFIG_DIR and CODEX_HOME as this process sees them.
ClientConfigDirectories clientConfigDirectoriesFromEnvironment();

// Where each assistant keeps its configuration, for one home directory.
struct ConfigLocations {
  std::string home;
  std::string claude;                    // home + "/.claude.json", see configLocationsFor
  std::string codex;                     // home + "/.codex/config.toml", see configLocationsFor
  std::vector<std::string> antigravity;  // antigravityConfigPaths(home)
};

// The locations for `home`, where the assistants read them: with
// CLAUDE_CONFIG_DIR, Claude Code's file is its ".claude.json" (or its older
// ".config.json" when that exists, which Claude Code then prefers); with
// CODEX_HOME, Codex's is its "config.toml". Looks at the file system only for
// those. Never fails.
ConfigLocations configLocationsFor(const std::string& home,
                                   const ClientConfigDirectories& directories = {});

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
