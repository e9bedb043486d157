#include "mcp/app_connection/socket_config.h"

#include "common/home_directory.h"

#include <algorithm>

namespace mivet::mcp {

SocketConfig resolveSocketConfig(const std::vector<std::string>& arguments) {
  auto option = std::find(arguments.begin(), arguments.end(), "--socket");
  if (option != arguments.end() && option + 1 != arguments.end()) {
    return SocketConfig{*(option + 1), false};
  }
  return SocketConfig{defaultAppSocketPath(), true};
}

}  // namespace mivet::mcp
