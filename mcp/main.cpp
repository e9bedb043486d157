#include "mcp/app_connection/ipc_client.h"
#include "mcp/registration/command_line.h"
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
  std::vector<std::string> arguments(argv, argv + argc);
  mivet::mcp::toolDefinitions();
  if (mivet::mcp::handleCLICommandIfPresent(arguments)) return 0;
  socketConfig = mivet::mcp::resolveSocketConfig(arguments);
  mivet::mcp::serveLines(STDIN_FILENO, STDOUT_FILENO, sendToApp);
  return 0;
}
