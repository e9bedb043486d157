#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

// Looks for the one-shot commands (--help, -h, --status, --install,
// --uninstall) anywhere in `arguments` (position 0 included) and carries out
// the first in that order. Returns true when one was handled; false when none
// is present and the server is to start. A failed install or uninstall does
// not return: it prints why on stderr and exits with status 1.
bool handleCLICommandIfPresent(const std::vector<std::string>& arguments);

}  // namespace mivet::mcp
