#include "mcp/registration/command_target.h"

namespace mivet::mcp {

ClientSelection clientsSelectedBy(std::string_view target) {
  if (target == "all") return {.claude = true, .codex = true, .antigravity = true};
  if (target == "claude") return {.claude = true};
  if (target == "codex") return {.codex = true};
  if (target == "antigravity" || target == "agy") return {.antigravity = true};
  return {};
}

}  // namespace mivet::mcp
