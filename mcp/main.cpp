#include "mcp/app_connection/ipc_client.h"
#include "mcp/command_line.h"
#include "mcp/registration/run_command.h"
#include "mcp/server/message_loop.h"
#include "mcp/server/tool_catalogue.h"

#include <unistd.h>

#include <string>
#include <vector>

namespace {

// Set once at start-up, before the first line is read.
mivet::mcp::SocketConfig socketConfig;

mivet::mcp::IPCResult sendToApp(std::string_view method, simdjson::dom::object params) {
  return mivet::mcp::sendIPC(socketConfig, method, params);
}

}  // namespace

int main(int argc, char** argv) {
  using mivet::mcp::CommandLine;
  const std::vector<std::string> arguments(argv, argv + argc);
  const CommandLine commandLine = mivet::mcp::parseCommandLine(arguments);
  mivet::mcp::toolDefinitions();
  switch (commandLine.mode) {
    case CommandLine::Mode::help:
      mivet::mcp::printUsage();
      return 0;
    case CommandLine::Mode::status:
      mivet::mcp::runStatusCommand();
      return 0;
    case CommandLine::Mode::install:
      mivet::mcp::runInstallCommand(commandLine.target, arguments);
      return 0;
    case CommandLine::Mode::uninstall:
      mivet::mcp::runUninstallCommand(commandLine.target);
      return 0;
    case CommandLine::Mode::serve:
      break;
  }
  socketConfig = commandLine.socket;
  mivet::mcp::serveLines(STDIN_FILENO, STDOUT_FILENO, sendToApp);
  return 0;
}
