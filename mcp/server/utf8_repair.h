#pragma once

#include "common/unicode_text.h"

#include <string>
#include <string_view>

namespace mivet::mcp {

// `bytes` with every maximal ill-formed UTF-8 subsequence replaced by U+FFFD,
// as a lenient UTF-8 decoder reads it.
inline std::string repairUtf8(std::string_view bytes) {
  return withReplacementCharacters(bytes, ReplacementUnit::maximalSubpart);
}

}  // namespace mivet::mcp
