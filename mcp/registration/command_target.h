#pragma once

#include <string_view>

namespace mivet::mcp {

// Which assistants' configuration files a registration command touches.
struct ClientSelection {
  bool claude = false;
  bool codex = false;
  bool antigravity = false;
};

// The clients a target selects: "all", "claude", "codex", "antigravity" or
// "agy"; any other target selects none. Never fails.
ClientSelection clientsSelectedBy(std::string_view target);

}  // namespace mivet::mcp
