#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

// The Antigravity configuration files to edit, in order: the one under
// ".gemini/config" (always), the one under ".gemini/antigravity" when that
// exists, then one per provider under ".t3/userdata/providers/antigravity"
// whose "config" is a directory, providers sorted by name (code-point order
// after canonical composition). Only looks at the file system; anything it
// cannot look at contributes nothing.
std::vector<std::string> antigravityConfigPaths(const std::string& home);

}  // namespace mivet::mcp
