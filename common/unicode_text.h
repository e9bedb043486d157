#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mivet {

// What begins at one position of UTF-8 text: a well-formed code point, or
// else the maximal ill-formed subsequence there (at least one byte: the bytes
// that begin a well-formed sequence and stop short of completing it).
struct Utf8Step {
  char32_t codePoint = 0;  // only when wellFormed
  std::size_t length = 1;  // in bytes
  bool wellFormed = false;
};

// Decodes what begins at `text[at]`; `at` must be inside `text`. Overlong
// forms, surrogates and values above U+10FFFF are ill-formed.
Utf8Step decodeUtf8At(std::string_view text, std::size_t at);

// decodeUtf8At, except that a surrogate (U+D800..U+DFFF) in its 3-byte form
// decodes as itself, which is how strings hold an escaped surrogate that has
// no partner.
Utf8Step decodeWtf8At(std::string_view text, std::size_t at);

// Appends the UTF-8 form of `codePoint` (at most U+10FFFF; a surrogate gets
// its 3-byte form).
void appendUtf8(std::string& out, char32_t codePoint);

// How much ill-formed UTF-8 one U+FFFD stands for.
enum class ReplacementUnit {
  maximalSubpart,  // as a lenient UTF-8 decoder reads it: "\xE2\x82" gives one U+FFFD
  byte,            // every byte on its own: "\xE2\x82" gives two
};

// `text` with its ill-formed UTF-8 replaced by U+FFFD, one per `unit`.
std::string withReplacementCharacters(std::string_view text, ReplacementUnit unit);

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
