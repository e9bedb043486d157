#pragma once

#include "mcp/app_connection/socket_config.h"

#include <string>
#include <vector>

namespace mivet::mcp {

// What the command line asks of mivet-mcp, read once at start-up.
struct CommandLine {
  // The first of --help (or -h), --status, --install and --uninstall present
  // anywhere on the line, position 0 included; serve when none is.
  enum class Mode { serve, help, status, install, uninstall };
  Mode mode = Mode::serve;
  // For install and uninstall: the argument after the option, lower-cased;
  // "all" when there is none or it begins with "--".
  std::string target{};
  // The path after the first "--socket" (verbatim, isDefault false); the
  // user's default socket when there is none or "--socket" comes last.
  SocketConfig socket{};
};

// Reads `arguments` (argv, position 0 included). Options match exactly and
// case-sensitively; anything else is ignored. Never fails.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// Prints the usage text on stdout.
void printUsage();

}  // namespace mivet::mcp
