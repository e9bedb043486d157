#pragma once

#include <string>

namespace mivet::mcp {

// The desktop application's socket, as the command line chose it.
struct SocketConfig {
  std::string path;
  // True when no "--socket" option chose the path; only then is the desktop
  // application started when it does not answer.
  bool isDefault = true;
};

}  // namespace mivet::mcp
