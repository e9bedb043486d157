#include "mcp/registration/lower_case.h"

#include "common/unicode_text.h"

#include <utf8proc.h>

namespace mivet::mcp {
namespace {

// The one unconditional lower-case mapping to more than one code point:
// LATIN CAPITAL LETTER I WITH DOT ABOVE becomes i + COMBINING DOT ABOVE.
constexpr char32_t capitalIWithDotAbove = 0x0130;
constexpr std::string_view iWithCombiningDotAbove = "i\xCC\x87";

}  // namespace

std::string lowerCased(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  for (std::size_t at = 0; at < text.size();) {
    Utf8Step step = decodeUtf8At(text, at);
    if (!step.wellFormed) {
      out.append(text.substr(at, step.length));
    } else if (step.codePoint == capitalIWithDotAbove) {
      out += iWithCombiningDotAbove;
    } else {
      auto lower = utf8proc_tolower(static_cast<utf8proc_int32_t>(step.codePoint));
      appendUtf8(out, static_cast<char32_t>(lower));
    }
    at += step.length;
  }
  return out;
}

}  // namespace mivet::mcp
