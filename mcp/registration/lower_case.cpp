#include "mcp/registration/lower_case.h"

#include <utf8proc.h>

namespace mivet::mcp {
namespace {

// The one unconditional lower-case mapping to more than one code point:
// LATIN CAPITAL LETTER I WITH DOT ABOVE becomes i + COMBINING DOT ABOVE.
constexpr utf8proc_int32_t capitalIWithDotAbove = 0x0130;
constexpr std::string_view iWithCombiningDotAbove = "i\xCC\x87";

void appendUtf8(std::string& out, utf8proc_int32_t codePoint) {
  utf8proc_uint8_t encoded[4];
  utf8proc_ssize_t length = utf8proc_encode_char(codePoint, encoded);
  out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(length));
}

}  // namespace

std::string lowerCased(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  for (utf8proc_ssize_t at = 0; at < size;) {
    utf8proc_int32_t codePoint;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, size - at, &codePoint);
    if (length <= 0) {
      out += text[static_cast<std::size_t>(at++)];
    } else {
      if (codePoint == capitalIWithDotAbove) {
        out += iWithCombiningDotAbove;
      } else {
        appendUtf8(out, utf8proc_tolower(codePoint));
      }
      at += length;
    }
  }
  return out;
}

}  // namespace mivet::mcp
