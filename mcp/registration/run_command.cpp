#include "mcp/registration/run_command.h"

#include "common/home_directory.h"
#include "common/interrupt_cleanup.h"
#include "mcp/registration/command_target.h"
#include "mcp/registration/config_locations.h"
#include "mcp/registration/home_owner.h"
#include "mcp/registration/registration_commands.h"
#include "mcp/registration/registration_status.h"
#include "mcp/registration/stable_command_path.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace mivet::mcp {
namespace {

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

// The registration commands; each has a failure line of its own.
enum class CommandKind { status, install, uninstall };

std::string_view failurePrefixOf(CommandKind kind) {
  switch (kind) {
    case CommandKind::status:
      return "Status failed: ";
    case CommandKind::install:
      return "Install failed: ";
    case CommandKind::uninstall:
      break;
  }
  return "Uninstall failed: ";
}

// Before anything under the home is looked at. A write past the file size
// limit then fails with EFBIG and takes the ordinary failure path, which
// removes the temporary file, instead of killing the process mid-write.
void prepareForCommand(CommandKind kind, const std::string& home,
                       const ClientConfigDirectories& directories) {
  try {
    actAsOwnerOfHome(home, directories);
  } catch (const std::runtime_error& error) {
    exitWithFailure(failurePrefixOf(kind), error);
  }
  if (kind != CommandKind::status) {
    std::signal(SIGXFSZ, SIG_IGN);
    removeTemporaryFilesOnInterrupt();
  }
}

// What every command does first.
ConfigLocations locationsPreparedFor(CommandKind kind) {
  const std::string home = homeDirectory();
  const ClientConfigDirectories directories = clientConfigDirectoriesFromEnvironment();
  prepareForCommand(kind, home, directories);
  return configLocationsFor(home, directories);
}

}  // namespace

void runStatusCommand() {
  const ConfigLocations locations = locationsPreparedFor(CommandKind::status);
  printRegistrationStatus(locations.home, locations.claude, locations.codex, locations.antigravity);
}

// The report is printed only once every file has been written.
void runInstallCommand(const std::string& target, const std::vector<std::string>& arguments) {
  const ConfigLocations locations = locationsPreparedFor(CommandKind::install);
  std::vector<std::string> report;
  try {
    std::string command = stableSelfCommandPath(arguments, locations.home);
    report = installRegistrations(locations, clientsSelectedBy(target), command);
  } catch (const std::runtime_error& error) {
    exitWithFailure("Install failed: ", error);
  }
  for (const std::string& entry : report) printLine("Installed Mivet MCP -> " + entry);
}

void runUninstallCommand(const std::string& target) {
  const ConfigLocations locations = locationsPreparedFor(CommandKind::uninstall);
  try {
    uninstallRegistrations(locations, clientsSelectedBy(target));
  } catch (const std::runtime_error& error) {
    exitWithFailure("Uninstall failed: ", error);
  }
  printLine("Removed Mivet MCP (" + target + ")");
}

}  // namespace mivet::mcp
