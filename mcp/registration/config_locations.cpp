#include "mcp/registration/config_locations.h"

#include "common/file_io.h"
#include "mcp/registration/antigravity_paths.h"

#include <cstdlib>

namespace mivet::mcp {
namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string claudeConfigFileIn(const std::string& directory) {
  std::string legacy = directory + "/.config.json";
  return existsFollowingLinks(legacy) ? legacy : directory + "/.claude.json";
}

}  // namespace

ClientConfigDirectories clientConfigDirectoriesFromEnvironment() {
  return {.claude = environmentValue("CLAUDE_CONFIG_DIR"), .codex = environmentValue("CODEX_HOME")};
}

ConfigLocations configLocationsFor(const std::string& home,
                                   const ClientConfigDirectories& directories) {
  return {
      .home = home,
      .claude = directories.claude.empty() ? home + "/.claude.json"
                                           : claudeConfigFileIn(directories.claude),
      .codex = (directories.codex.empty() ? home + "/.codex" : directories.codex) + "/config.toml",
      .antigravity = antigravityConfigPaths(home)};
}

}  // namespace mivet::mcp
