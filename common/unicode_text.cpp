#include "unicode_text.h"

#include <simdjson.h>

#include <cstdint>

namespace mivet {
namespace {

// Decodes the code point at `at` of valid UTF-8 and its length in bytes;
// a byte that does not start a valid sequence counts as itself, one byte long.
std::pair<char32_t, std::size_t> decodeAt(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length <= 1 || at + length > text.size()) return {lead, 1};
  char32_t cp = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return {lead, 1};
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  return {cp, length};
}

bool isSpaceSeparatorOrTab(char32_t cp) {
  return cp == ' ' || cp == '\t' || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
         cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

bool isNewline(char32_t cp) {
  return (cp >= 0x0A && cp <= 0x0D) || cp == 0x85 || cp == 0x2028 || cp == 0x2029;
}

template <typename Predicate>
std::string_view trimWhere(std::string_view text, Predicate strip) {
  std::size_t start = 0;
  while (start < text.size()) {
    auto [cp, length] = decodeAt(text, start);
    if (!strip(cp)) break;
    start += length;
  }
  std::size_t end = text.size();
  while (end > start) {
    // Step back to the start of the last code point.
    std::size_t back = end - 1;
    while (back > start && (static_cast<unsigned char>(text[back]) & 0xC0) == 0x80 &&
           end - back < 4) {
      --back;
    }
    auto [cp, length] = decodeAt(text, back);
    if (back + length != end || !strip(cp)) break;
    end = back;
  }
  return text.substr(start, end - start);
}

}  // namespace

std::string_view trimHorizontalWhitespace(std::string_view text) {
  return trimWhere(text, isSpaceSeparatorOrTab);
}

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
  return trimWhere(text, [](char32_t cp) { return isSpaceSeparatorOrTab(cp) || isNewline(cp); });
}

std::vector<std::string_view> splitAtNewlines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t lineStart = 0;
  for (std::size_t at = 0; at < text.size();) {
    auto [cp, length] = decodeAt(text, at);
    if (isNewline(cp)) {
      lines.push_back(text.substr(lineStart, at - lineStart));
      lineStart = at + length;
    }
    at += length;
  }
  lines.push_back(text.substr(lineStart));
  return lines;
}

bool isValidUtf8(std::string_view text) {
  return simdjson::validate_utf8(text.data(), text.size());
}

bool isValidWtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    auto [cp, length] = decodeAt(text, at);
    // decodeAt takes a lone byte as itself; reject those and overlong forms.
    bool overlong = (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
                    (length == 4 && (cp < 0x10000 || cp > 0x10FFFF));
    if ((length == 1 && cp >= 0x80) || overlong) return false;
    at += length;
  }
  return true;
}

}  // namespace mivet
