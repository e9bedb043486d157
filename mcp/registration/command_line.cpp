#include "mcp/registration/command_line.h"

namespace mivet::mcp {

bool handleCLICommandIfPresent(const std::vector<std::string>&) { return false; }

}  // namespace mivet::mcp
