#include "mcp/registration/registration_commands.h"

#include "common/file_io.h"
#include "mcp/registration/antigravity_paths.h"
#include "mcp/registration/codex_config.h"
#include "mcp/registration/json_config.h"

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

// Claude Code rewrites its file many times a session and takes this lock
// around each rewrite; so does every edit here.
const SharedFileOptions claudeCodeSharing{.lock = LockTiming{}};

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

std::vector<std::string> installRegistrations(const ConfigLocations& locations,
                                              ClientSelection selection,
                                              const std::string& command) {
  std::vector<std::string> report;
  if (selection.claude) {
    upsertJSONMCP(locations.claude, command, claudeCodeSharing);
    report.push_back("Claude Code (" + locations.claude + ")");
  }
  if (selection.codex) {
    upsertCodexMCP(locations.codex, command);
    report.push_back("Codex (" + locations.codex + ")");
  }
  if (selection.antigravity) {
    for (const std::string& path : locations.antigravity) {
      upsertJSONMCP(path, command);
      report.push_back("Antigravity (" + path + ")");
    }
  }
  return report;
}

void uninstallRegistrations(const ConfigLocations& locations, ClientSelection selection) {
  if (selection.claude) removeJSONMCP(locations.claude, claudeCodeSharing);
  if (selection.codex) removeCodexMCP(locations.codex);
  if (selection.antigravity) {
    for (const std::string& path : locations.antigravity) removeJSONMCP(path);
  }
}

}  // namespace mivet::mcp
