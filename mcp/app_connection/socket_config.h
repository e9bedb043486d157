#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

struct SocketConfig {
  std::string path;
  // True when no "--socket" option chose the path; only then is the desktop
  // application started when it does not answer.
  bool isDefault = true;
};

// The path after the first "--socket" in `arguments` (verbatim, isDefault
// false); the user's default socket when there is none or it is the last
// argument.
SocketConfig resolveSocketConfig(const std::vector<std::string>& arguments);

}  // namespace mivet::mcp
