#pragma once

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

}  // namespace mivet::mcp
