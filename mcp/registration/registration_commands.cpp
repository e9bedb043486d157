#include "mcp/registration/registration_commands.h"

#include "mcp/registration/antigravity_paths.h"
#include "mcp/registration/codex_config.h"
#include "mcp/registration/json_config.h"

namespace mivet::mcp {

ConfigLocations configLocationsFor(const std::string& home) {
  return {.home = home,
          .claude = home + "/.claude.json",
          .codex = home + "/.codex/config.toml",
          .antigravity = antigravityConfigPaths(home)};
}

std::vector<std::string> installRegistrations(const ConfigLocations& locations,
                                              ClientSelection selection,
                                              const std::string& command) {
  std::vector<std::string> report;
  if (selection.claude) {
    upsertJSONMCP(locations.claude, command);
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
  if (selection.claude) removeJSONMCP(locations.claude);
  if (selection.codex) removeCodexMCP(locations.codex);
  if (selection.antigravity) {
    for (const std::string& path : locations.antigravity) removeJSONMCP(path);
  }
}

}  // namespace mivet::mcp
