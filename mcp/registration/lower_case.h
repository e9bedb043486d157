#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// `text` with every letter replaced by its full Unicode lower-case mapping
// (the unconditional mappings, so "İ" becomes "i" plus a combining dot and
// "Σ" always becomes "σ"). Never fails: bytes that are not valid UTF-8 are
// copied unchanged.
std::string lowerCased(std::string_view text);

}  // namespace mivet::mcp
