#include "MivetBrowserBridge/compact_copy.h"

#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstdint>
#include <cstring>

namespace mivet::bridge {
namespace {

constexpr std::uint64_t everyByte(unsigned char value) {
  return 0x0101010101010101ull * value;
}

// High bit set in the lowest byte of `word` that is below `limit` (at most
// 0x80); bytes above that one may be flagged wrongly.
constexpr std::uint64_t byteBelow(std::uint64_t word, unsigned char limit) {
  return (word - everyByte(limit)) & ~word & everyByte(0x80);
}

constexpr std::uint64_t byteEquals(std::uint64_t word, unsigned char value) {
  return byteBelow(word ^ everyByte(value), 1);
}

// A byte that the writer copies unchanged inside a string.
constexpr bool plainInString(unsigned char c) {
  return c >= 0x20 && c != '"' && c != '\\' && c != '/';
}

#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
// Bit i set when byte i of the 16 at `p` needs a second look inside a string.
std::uint32_t specialMask16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
  const __m128i special =
      _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))),
                   _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\')),
                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/'))));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(special));
}
#endif

// The first offset from `at` inside a string that holds a byte the writer
// does not copy unchanged ('"', '\\', '/' or a control character); the end of
// `text` when there is none. Sixteen or eight bytes at a time.
std::size_t nextSpecialInString(std::string_view text, std::size_t at) {
#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
  for (; at + 16 <= text.size(); at += 16) {
    if (std::uint32_t mask = specialMask16(text.data() + at)) {
      return at + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
#endif
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    std::uint64_t special = byteBelow(word, 0x20) | byteEquals(word, '"') | byteEquals(word, '\\') |
                            byteEquals(word, '/');
    if (special == 0) continue;
    if constexpr (std::endian::native == std::endian::little) {
      return at + static_cast<std::size_t>(std::countr_zero(special) / 8);
    }
    break;
  }
  while (at < text.size() && plainInString(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

bool isJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::optional<char32_t> hexUnit(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) return std::nullopt;
  char32_t unit = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return std::nullopt;
    unit = unit * 16 + static_cast<char32_t>(digit);
  }
  return unit;
}

// A character of the basic plane (not a surrogate) as the writer puts it in a string.
void appendAsWritten(std::string& out, char32_t cp) {
  static constexpr char hexDigits[] = "0123456789abcdef";
  switch (cp) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '/':
      out += "\\/";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
  }
  if (cp < 0x20) {
    out += "\\u00";
    out += hexDigits[cp >> 4];
    out += hexDigits[cp & 0xF];
  } else if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Walks one valid JSON value, copying it to `out` in runs. Without `out` it
// only checks that nothing would need rewriting.
class CompactScan {
 public:
  CompactScan(std::string_view text, std::string* out) : text_(text), out_(out) {}

  // Offset just past the value; nullopt when the scan gives up.
  std::optional<std::size_t> run() {
    std::size_t depth = 0;
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == '"') {
        if (!string()) return std::nullopt;
      } else if (c == '{' || c == '[') {
        ++depth, ++at_;
        continue;
      } else if (c == '}' || c == ']') {
        if (depth == 0) return std::nullopt;
        --depth, ++at_;
      } else if (c == ',' || c == ':') {
        ++at_;
        continue;
      } else if (isJsonSpace(c)) {
        if (!replace(1, {})) return std::nullopt;
        continue;
      } else if (c == 't' || c == 'n') {
        at_ += 4;
      } else if (c == 'f') {
        at_ += 5;
      } else if (!integer()) {
        return std::nullopt;
      }
      if (depth == 0) return finish();
    }
    return std::nullopt;  // the text ended inside the value
  }

 private:
  std::optional<std::size_t> finish() {
    if (at_ > text_.size()) return std::nullopt;
    if (out_ != nullptr) out_->append(text_, runStart_, at_ - runStart_);
    return at_;
  }

  // Puts `with` in place of the `count` bytes at the scan position.
  bool replace(std::size_t count, std::string_view with) {
    if (out_ == nullptr) return false;
    out_->append(text_, runStart_, at_ - runStart_);
    *out_ += with;
    at_ += count;
    runStart_ = at_;
    return true;
  }

  bool string() {
    for (++at_;;) {
      at_ = nextSpecialInString(text_, at_);
      if (at_ >= text_.size()) return false;
      switch (text_[at_]) {
        case '"':
          ++at_;
          return true;
        case '/':
          if (!replace(1, "\\/")) return false;
          break;
        case '\\':
          if (!escape()) return false;
          break;
        default:
          return false;  // a raw control character: not valid JSON
      }
    }
  }

  bool escape() {
    if (at_ + 1 >= text_.size()) return false;
    const char kind = text_[at_ + 1];
    switch (kind) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        at_ += 2;  // the writer uses the same short escapes
        return true;
    }
    auto unit = kind == 'u' ? hexUnit(text_, at_ + 2) : std::nullopt;
    if (!unit || (*unit >= 0xD800 && *unit <= 0xDFFF)) return false;
    std::string written;
    appendAsWritten(written, *unit);
    if (std::string_view(text_).substr(at_, 6) == written) {
      at_ += 6;  // already "\u001f" as the writer spells it
      return true;
    }
    return replace(6, written);
  }

  // A plain integer, which the writer prints as it stands. Other numbers
  // may come out differently ("1.0" as "1", "-0" as "0").
  bool integer() {
    std::size_t end = at_ + (text_[at_] == '-' ? 1 : 0);
    const std::size_t digitsStart = end;
    while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
    const std::size_t digits = end - digitsStart;
    if (digits == 0 || digits > 18) return false;
    if (end < text_.size() && (text_[end] == '.' || text_[end] == 'e' || text_[end] == 'E')) {
      return false;
    }
    if (digitsStart > at_ && text_[digitsStart] == '0') return false;  // "-0"
    at_ = end;
    return true;
  }

  std::string_view text_;
  std::string* out_;
  std::size_t at_ = 0;
  std::size_t runStart_ = 0;
};

std::size_t skipSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && isJsonSpace(text[at])) ++at;
  return at;
}

// Offset just past the string whose opening quote is at `at`, or npos.
std::size_t skipString(std::string_view text, std::size_t at) {
  for (++at; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++at;
    } else if (text[at] == '"') {
      return at + 1;
    }
  }
  return std::string_view::npos;
}

// Offset just past the value that starts at `at`, or npos.
std::size_t skipValue(std::string_view text, std::size_t at) {
  std::size_t depth = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '"') {
      at = skipString(text, at);
      if (at == std::string_view::npos) return at;
    } else if (c == '{' || c == '[') {
      ++depth, ++at;
      continue;
    } else if (c == '}' || c == ']') {
      if (depth == 0) return at;
      --depth, ++at;
    } else if (depth == 0 && (c == ',' || isJsonSpace(c))) {
      return at;
    } else {
      ++at;
      continue;
    }
    if (depth == 0) return at;
  }
  return depth == 0 ? at : std::string_view::npos;
}

}  // namespace

bool appendCompactCopy(std::string& out, std::string_view validJson) {
  const std::size_t outSize = out.size();
  if (CompactScan(validJson, &out).run()) return true;
  out.resize(outSize);
  return false;
}

std::optional<std::size_t> compactAsWrittenLength(std::string_view validJson) {
  return CompactScan(validJson, nullptr).run();
}

std::optional<std::size_t> memberValueOffset(std::string_view validObject, std::string_view key) {
  std::size_t at = skipSpace(validObject, 0);
  if (at >= validObject.size() || validObject[at] != '{') return std::nullopt;
  for (++at;;) {
    at = skipSpace(validObject, at);
    if (at >= validObject.size() || validObject[at] != '"') return std::nullopt;
    const std::size_t nameEnd = skipString(validObject, at);
    if (nameEnd == std::string_view::npos) return std::nullopt;
    std::string_view name = validObject.substr(at + 1, nameEnd - at - 2);
    if (name.find('\\') != std::string_view::npos) return std::nullopt;
    at = skipSpace(validObject, nameEnd);
    if (at >= validObject.size() || validObject[at] != ':') return std::nullopt;
    at = skipSpace(validObject, at + 1);
    if (name == key) return at;
    at = skipSpace(validObject, skipValue(validObject, at));
    if (at >= validObject.size() || validObject[at] != ',') return std::nullopt;
    ++at;
  }
}

}  // namespace mivet::bridge
