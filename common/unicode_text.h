#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mivet {

// Horizontal white space: space, tab and the other Unicode space separators.
std::string_view trimHorizontalWhitespace(std::string_view text);

// Horizontal white space plus the line breaks (LF, VT, FF, CR, NEL, LS, PS).
std::string_view trimWhitespaceAndNewlines(std::string_view text);

// Splits UTF-8 text at every Unicode newline character (LF, VT, FF, CR, NEL,
// LS, PS); a CR LF pair gives an empty line between them.
std::vector<std::string_view> splitAtNewlines(std::string_view text);

// Whether `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// Whether `text` is well-formed UTF-8 but for surrogates (U+D800..U+DFFF) in
// their 3-byte form, which is how strings hold an escaped surrogate that has
// no partner.
bool isValidWtf8(std::string_view text);

}  // namespace mivet
