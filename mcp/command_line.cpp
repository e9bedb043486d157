#include "mcp/command_line.h"

#include "common/home_directory.h"
#include "mcp/registration/lower_case.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

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
    "Antigravity\n";

using Arguments = std::vector<std::string>;

Arguments::const_iterator firstOf(const Arguments& arguments, std::string_view option) {
  return std::find(arguments.begin(), arguments.end(), option);
}

bool holds(const Arguments& arguments, std::string_view option) {
  return firstOf(arguments, option) != arguments.end();
}

std::string targetAfter(const Arguments& arguments, Arguments::const_iterator option) {
  if (option + 1 == arguments.end() || option[1].starts_with("--")) return "all";
  return lowerCased(option[1]);
}

SocketConfig socketIn(const Arguments& arguments) {
  auto option = firstOf(arguments, "--socket");
  if (option != arguments.end() && option + 1 != arguments.end()) return {option[1], false};
  return {defaultAppSocketPath(), true};
}

}  // namespace

CommandLine parseCommandLine(const Arguments& arguments) {
  CommandLine line{.socket = socketIn(arguments)};
  if (holds(arguments, "--help") || holds(arguments, "-h")) {
    line.mode = CommandLine::Mode::help;
  } else if (holds(arguments, "--status")) {
    line.mode = CommandLine::Mode::status;
  } else if (auto install = firstOf(arguments, "--install"); install != arguments.end()) {
    line.mode = CommandLine::Mode::install;
    line.target = targetAfter(arguments, install);
  } else if (auto uninstall = firstOf(arguments, "--uninstall"); uninstall != arguments.end()) {
    line.mode = CommandLine::Mode::uninstall;
    line.target = targetAfter(arguments, uninstall);
  }
  return line;
}

void printUsage() {
  std::fwrite(usageText.data(), 1, usageText.size(), stdout);
}

}  // namespace mivet::mcp
