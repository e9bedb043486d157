#include "mcp/registration/unicode_forms.h"

#include "common/unicode_text.h"

#include <cstdlib>
#include <memory>
#include <utf8proc.h>

namespace mivet::mcp {

std::string canonicallyComposed(std::string_view text) {
  std::string valid = withReplacementCharacters(text, ReplacementUnit::byte);
  utf8proc_uint8_t* composed = nullptr;
  utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(valid.data()),
                   static_cast<utf8proc_ssize_t>(valid.size()), &composed,
                   static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(composed, std::free);
  if (length < 0) return valid;  // only when out of memory
  return std::string(reinterpret_cast<const char*>(composed), static_cast<std::size_t>(length));
}

}  // namespace mivet::mcp
