#include "mcp/registration/command_line.h"

#include "common/home_directory.h"
#include "mcp/registration/command_target.h"
#include "mcp/registration/registration_commands.h"
#include "mcp/registration/registration_status.h"
#include "mcp/registration/stable_command_path.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace mivet::mcp {
namespace {

// Option texts are padded to 40 columns, so every description starts in column 41.
constexpr std::string_view usageText =
    "mivet-mcp \u2014 Model Context Protocol (MCP) stdio server for Mivet\n"
    "\n"
    "Usage:\n"
    "  mivet-mcp                             Run stdio MCP server (used by Claude Code, Codex, "
    "Antigravity)\n"
    "  mivet-mcp --socket <path>             Connect to a custom Mivet IPC Unix socket\n"
    "  mivet-mcp --install [target]          Register Mivet MCP in: all (default), claude, codex, "
    "antigravity\n"
    "  mivet-mcp --uninstall [target]        Remove Mivet MCP from: all (default), claude, codex, "
    "antigravity\n"
    "  mivet-mcp --status                    Print connection status JSON for Claude Code, Codex, "
    "Antigravity";

void printLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

[[noreturn]] void exitWithFailure(std::string_view prefix, const std::runtime_error& error) {
  std::string line(prefix);
  line += error.what();
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::exit(1);
}

// The report is printed only once every file has been written.
void install(const std::vector<std::string>& arguments, std::size_t optionPosition,
             const ConfigLocations& locations) {
  std::string command = stableSelfCommandPath(arguments, locations.home);
  std::string target = targetAfterOption(arguments, optionPosition);
  std::vector<std::string> report;
  try {
    report = installRegistrations(locations, clientsSelectedBy(target), command);
  } catch (const std::runtime_error& error) {
    exitWithFailure("Install failed: ", error);
  }
  for (const std::string& entry : report) printLine("Installed Mivet MCP -> " + entry);
}

void uninstall(const std::vector<std::string>& arguments, std::size_t optionPosition,
               const ConfigLocations& locations) {
  std::string target = targetAfterOption(arguments, optionPosition);
  try {
    uninstallRegistrations(locations, clientsSelectedBy(target));
  } catch (const std::runtime_error& error) {
    exitWithFailure("Uninstall failed: ", error);
  }
  printLine("Removed Mivet MCP (" + target + ")");
}

}  // namespace

bool handleCLICommandIfPresent(const std::vector<std::string>& arguments) {
  if (firstPositionOf(arguments, "--help") || firstPositionOf(arguments, "-h")) {
    printLine(usageText);
    return true;
  }
  const ConfigLocations locations =
      configLocationsFor(homeDirectory(), clientConfigDirectoriesFromEnvironment());
  if (firstPositionOf(arguments, "--status")) {
    printRegistrationStatus(locations.home, locations.claude, locations.codex,
                            locations.antigravity);
    return true;
  }
  if (auto position = firstPositionOf(arguments, "--install")) {
    install(arguments, *position, locations);
    return true;
  }
  if (auto position = firstPositionOf(arguments, "--uninstall")) {
    uninstall(arguments, *position, locations);
    return true;
  }
  return false;
}

}  // namespace mivet::mcp
