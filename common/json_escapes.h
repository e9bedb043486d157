#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

// How characters are spelled inside JSON strings, for everything that writes
// or rewrites JSON text (JsonWriter, the bridge's compact copy, the reader's
// stand-ins): one spelling, so that they all write a character the same way.

namespace mivet {

// Writes \uXXXX (lower-case hex) for the UTF-16 code unit `unit` at `out`;
// returns the end of it.
constexpr char* writeUnicodeEscape(char* out, char32_t unit) {
  constexpr char hexDigits[] = "0123456789abcdef";
  *out++ = '\\';
  *out++ = 'u';
  for (int shift = 12; shift >= 0; shift -= 4) *out++ = hexDigits[(unit >> shift) & 0xF];
  return out;
}

// The code unit of the \uXXXX escape whose backslash is at text[at]; nullopt
// when there is no such escape there.
constexpr std::optional<char32_t> unicodeEscapeAt(std::string_view text, std::size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return std::nullopt;
  char32_t unit = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return std::nullopt;
    unit = unit * 16 + static_cast<char32_t>(digit);
  }
  return unit;
}

namespace detail {

struct EscapeSpelling {
  std::array<char, 6> text{};
  std::size_t length = 0;
};

constexpr std::array<EscapeSpelling, 0x80> asciiEscapeSpellings() {
  std::array<EscapeSpelling, 0x80> table{};
  for (char32_t c = 0; c < 0x20; ++c) {
    table[c].length = static_cast<std::size_t>(writeUnicodeEscape(table[c].text.data(), c) -
                                               table[c].text.data());
  }
  constexpr std::pair<char, char> shortForms[] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},
                                                  {'\b', 'b'}, {'\f', 'f'},  {'\n', 'n'},
                                                  {'\r', 'r'}, {'\t', 't'}};
  for (auto [c, letter] : shortForms) {
    auto& spelling = table[static_cast<unsigned char>(c)];
    spelling.text = {'\\', letter};
    spelling.length = 2;
  }
  return table;
}

inline constexpr auto asciiEscapes = asciiEscapeSpellings();

}  // namespace detail

// The escape that strings hold for the byte `byte`: the short escapes where
// JSON has one (and "\/" for "/" when `slash`), \u00XX for the other control
// characters. Empty for a byte written as it is, every byte from 0x80 among
// them.
constexpr std::string_view jsonEscape(unsigned char byte, bool slash) {
  if (byte >= 0x80 || (byte == '/' && !slash)) return {};
  const auto& spelling = detail::asciiEscapes[byte];
  return {spelling.text.data(), spelling.length};
}

}  // namespace mivet
