#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// `text` in Unicode canonical composition (NFC), so that a name written with
// a combining accent and the same name precomposed become the same bytes.
// Bytes that are not valid UTF-8 are first replaced as withReplacementCharacters
// does. Never fails.
std::string canonicallyComposed(std::string_view text);

// `text` with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD, so that it can be shown as text. Never fails.
std::string withReplacementCharacters(std::string_view text);

}  // namespace mivet::mcp
