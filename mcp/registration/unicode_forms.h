#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// `text` in Unicode canonical composition (NFC), so that a name written with
// a combining accent and the same name precomposed become the same bytes.
// Every byte that is not part of a well-formed UTF-8 sequence is first
// replaced by U+FFFD. Never fails.
std::string canonicallyComposed(std::string_view text);

}  // namespace mivet::mcp
