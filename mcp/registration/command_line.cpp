#include "mcp/registration/command_line.h"

#include "common/home_directory.h"
#include "common/interrupt_cleanup.h"
#include "mcp/registration/command_target.h"
#include "mcp/registration/home_owner.h"
#include "mcp/registration/registration_commands.h"
#include "mcp/registration/registration_status.h"
#include "mcp/registration/stable_command_path.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
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
  std::string target = targetAfterOption(arguments, optionPosition);
  std::vector<std::string> report;
  try {
    std::string command = stableSelfCommandPath(arguments, locations.home);
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

// The one registration command on the line, the first of status, install,
// uninstall, with the position of its option.
struct Command {
  enum class Kind { status, install, uninstall } kind;
  std::size_t position;
};

std::optional<Command> registrationCommandIn(const std::vector<std::string>& arguments) {
  if (auto position = firstPositionOf(arguments, "--status")) {
    return Command{Command::Kind::status, *position};
  }
  if (auto position = firstPositionOf(arguments, "--install")) {
    return Command{Command::Kind::install, *position};
  }
  if (auto position = firstPositionOf(arguments, "--uninstall")) {
    return Command{Command::Kind::uninstall, *position};
  }
  return std::nullopt;
}

std::string_view failurePrefixOf(Command::Kind kind) {
  switch (kind) {
    case Command::Kind::status:
      return "Status failed: ";
    case Command::Kind::install:
      return "Install failed: ";
    case Command::Kind::uninstall:
      break;
  }
  return "Uninstall failed: ";
}

// Before anything under the home is looked at. A write past the file size
// limit then fails with EFBIG and takes the ordinary failure path, which
// removes the temporary file, instead of killing the process mid-write.
void prepareForCommand(Command::Kind kind, const std::string& home) {
  try {
    actAsOwnerOfHome(home, clientConfigDirectoriesFromEnvironment());
  } catch (const std::runtime_error& error) {
    exitWithFailure(failurePrefixOf(kind), error);
  }
  if (kind != Command::Kind::status) std::signal(SIGXFSZ, SIG_IGN);
  if (kind != Command::Kind::status) removeTemporaryFilesOnInterrupt();
}

}  // namespace

bool handleCLICommandIfPresent(const std::vector<std::string>& arguments) {
  if (firstPositionOf(arguments, "--help") || firstPositionOf(arguments, "-h")) {
    printLine(usageText);
    return true;
  }
  // Server mode looks at nothing under the home here.
  const auto command = registrationCommandIn(arguments);
  if (!command) return false;
  const std::string home = homeDirectory();
  prepareForCommand(command->kind, home);
  const ConfigLocations locations =
      configLocationsFor(home, clientConfigDirectoriesFromEnvironment());
  switch (command->kind) {
    case Command::Kind::status:
      printRegistrationStatus(locations.home, locations.claude, locations.codex,
                              locations.antigravity);
      break;
    case Command::Kind::install:
      install(arguments, command->position, locations);
      break;
    case Command::Kind::uninstall:
      uninstall(arguments, command->position, locations);
      break;
  }
  return true;
}

}  // namespace mivet::mcp
