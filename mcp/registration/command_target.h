#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivet::mcp {

// Which assistants' configuration files a registration command touches.
struct ClientSelection {
  bool claude = false;
  bool codex = false;
  bool antigravity = false;
};

// Position of the first argument that equals `option` exactly; nullopt when
// there is none.
std::optional<std::size_t> firstPositionOf(const std::vector<std::string>& arguments,
                                           std::string_view option);

// The target named by the argument after position `optionPosition`: "all"
// when there is none or it begins with "--", otherwise that argument in lower
// case, whatever it says. Never fails.
std::string targetAfterOption(const std::vector<std::string>& arguments,
                              std::size_t optionPosition);

// The clients a target selects: "all", "claude", "codex", "antigravity" or
// "agy"; any other target selects none. Never fails.
ClientSelection clientsSelectedBy(std::string_view target);

}  // namespace mivet::mcp
