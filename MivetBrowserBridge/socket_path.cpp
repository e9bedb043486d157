#include "MivetBrowserBridge/socket_path.h"

#include "common/home_directory.h"

#include <algorithm>

namespace mivet::bridge {

std::string defaultSocketPath(const std::vector<std::string>& arguments) {
  auto option = std::find(arguments.begin(), arguments.end(), "--socket");
  if (option != arguments.end() && option + 1 != arguments.end()) return *(option + 1);
  return defaultAppSocketPath();
}

}  // namespace mivet::bridge
