#include "MivetBrowserBridge/message_loop.h"
#include "MivetBrowserBridge/socket_path.h"

#include <string>
#include <vector>

namespace {

// Set once at start-up, before the first frame is read.
std::string socketPath;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv, argv + argc);
  socketPath = mivet::bridge::defaultSocketPath(arguments);
  mivet::bridge::serveFrames(socketPath);
  return 0;
}
