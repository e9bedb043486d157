#include "mcp/registration/command_target.h"

#include "mcp/registration/lower_case.h"

#include <algorithm>

namespace mivet::mcp {

std::optional<std::size_t> firstPositionOf(const std::vector<std::string>& arguments,
                                           std::string_view option) {
  auto found = std::find(arguments.begin(), arguments.end(), option);
  if (found == arguments.end()) return std::nullopt;
  return static_cast<std::size_t>(found - arguments.begin());
}

std::string targetAfterOption(const std::vector<std::string>& arguments,
                              std::size_t optionPosition) {
  std::size_t next = optionPosition + 1;
  if (next >= arguments.size() || arguments[next].starts_with("--")) return "all";
  return lowerCased(arguments[next]);
}

ClientSelection clientsSelectedBy(std::string_view target) {
  if (target == "all") return {.claude = true, .codex = true, .antigravity = true};
  if (target == "claude") return {.claude = true};
  if (target == "codex") return {.codex = true};
  if (target == "antigravity" || target == "agy") return {.antigravity = true};
  return {};
}

}  // namespace mivet::mcp
