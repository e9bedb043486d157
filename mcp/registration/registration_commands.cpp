#include "mcp/registration/registration_commands.h"

#include "mcp/registration/codex_config.h"
#include "mcp/registration/json_config.h"

namespace mivet::mcp {

namespace {

// Claude Code rewrites its file many times a session and takes this lock
// around each rewrite; so does every edit here.
const SharedFileOptions claudeCodeSharing{.lock = LockTiming{}};

}  // namespace

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
