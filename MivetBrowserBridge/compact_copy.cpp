#include "MivetBrowserBridge/compact_copy.h"

#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

#include "common/json_reader.h"
#include "common/unicode_text.h"

#include <algorithm>
#include <bit>
#include <bitset>
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

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::optional<char32_t> hexUnit(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) return std::nullopt;
  char32_t unit = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    char c = text[i];
    int digit = isDigit(c)             ? c - '0'
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
  } else {
    appendUtf8(out, cp);
  }
}

enum class ScanMode {
  copy,       // append the compact text to `out`
  asWritten,  // give up on anything the writer would write differently
  validate,   // only check the grammar
};

// What the walk expects next.
enum class Expect { value, valueOrClose, name, nameOrClose, colon, commaOrClose };

// Walks one JSON value, checking its grammar, copying it in runs or checking
// that it needs no rewriting.
class CompactScan {
 public:
  CompactScan(std::string_view text, std::size_t at, ScanMode mode, std::string* out)
      : text_(text), mode_(mode), out_(out), at_(at), runStart_(at) {}

  // Offset just past the value; nullopt when the walk gives up.
  std::optional<std::size_t> run(std::size_t levels) {
    levels = std::min(levels, maxJsonDepth);
    Expect expect = Expect::value;
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (isJsonSpace(c)) {
        if (!rewrite(1, {})) return std::nullopt;
        continue;
      }
      switch (expect) {
        case Expect::colon:
          if (c != ':') return std::nullopt;
          ++at_;
          expect = Expect::value;
          continue;
        case Expect::commaOrClose:
        case Expect::valueOrClose:
        case Expect::nameOrClose:
          if (c == (inObject() ? '}' : ']')) {
            ++at_;
            if (--depth_ == 0) return finish();
            expect = Expect::commaOrClose;
            continue;
          }
          if (expect == Expect::commaOrClose) {
            if (c != ',') return std::nullopt;
            ++at_;
            expect = inObject() ? Expect::name : Expect::value;
            continue;
          }
          expect = expect == Expect::nameOrClose ? Expect::name : Expect::value;
          [[fallthrough]];
        case Expect::name:
        case Expect::value:
          break;
      }
      if (expect == Expect::name) {
        if (c != '"' || !string()) return std::nullopt;
        expect = Expect::colon;
        continue;
      }
      if (c == '{' || c == '[') {
        if (depth_ == levels) return std::nullopt;
        objects_[depth_++] = c == '{';
        ++at_;
        expect = c == '{' ? Expect::nameOrClose : Expect::valueOrClose;
        continue;
      }
      if (!scalar(c)) return std::nullopt;
      if (depth_ == 0) return finish();
      expect = Expect::commaOrClose;
    }
    return std::nullopt;  // the text ended inside the value
  }

 private:
  bool inObject() const { return objects_[depth_ - 1]; }

  std::optional<std::size_t> finish() {
    if (mode_ == ScanMode::copy) out_->append(text_, runStart_, at_ - runStart_);
    return at_;
  }

  // Puts `with` in place of the `count` bytes at the walk's position.
  bool rewrite(std::size_t count, std::string_view with) {
    if (mode_ == ScanMode::asWritten) return false;
    if (mode_ == ScanMode::copy) {
      out_->append(text_, runStart_, at_ - runStart_);
      *out_ += with;
    }
    at_ += count;
    runStart_ = at_;
    return true;
  }

  bool scalar(char c) {
    switch (c) {
      case '"':
        return string();
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default:
        return integer();
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
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
          if (!rewrite(1, "\\/")) return false;
          break;
        case '\\':
          if (!escape()) return false;
          break;
        default:
          return false;  // a raw control character is not JSON
      }
    }
  }

  bool escape() {
    if (at_ + 1 >= text_.size()) return false;
    switch (text_[at_ + 1]) {
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
      case 'u':
        break;
      default:
        return false;
    }
    auto unit = hexUnit(text_, at_ + 2);
    if (!unit || (*unit >= 0xD800 && *unit <= 0xDFFF)) return false;
    std::string written;
    appendAsWritten(written, *unit);
    if (text_.substr(at_, 6) == written) {
      at_ += 6;  // already "\u001f" as the writer spells it
      return true;
    }
    return rewrite(6, written);
  }

  // -?(0|[1-9][0-9]*) of up to 18 digits, which the writer prints as it
  // stands. Other numbers may come out differently ("1.0" as "1", "-0" as "0").
  bool integer() {
    std::size_t end = at_ + (text_[at_] == '-' ? 1 : 0);
    const std::size_t digitsStart = end;
    while (end < text_.size() && isDigit(text_[end])) ++end;
    const std::size_t digits = end - digitsStart;
    if (digits == 0 || digits > 18) return false;
    if (text_[digitsStart] == '0' && (digits > 1 || digitsStart > at_)) return false;
    if (end < text_.size() && (text_[end] == '.' || text_[end] == 'e' || text_[end] == 'E')) {
      return false;
    }
    at_ = end;
    return true;
  }

  std::string_view text_;
  ScanMode mode_;
  std::string* out_;
  std::size_t at_;
  std::size_t runStart_;
  std::size_t depth_ = 0;              // objects and arrays open
  std::bitset<maxJsonDepth> objects_;  // whether each open one is an object
};

}  // namespace

std::size_t skipJsonSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && isJsonSpace(text[at])) ++at;
  return at;
}

std::optional<std::size_t> appendCompactValue(std::string& out, std::string_view text,
                                              std::size_t at, std::size_t levels) {
  const std::size_t outSize = out.size();
  at = skipJsonSpace(text, at);
  auto end = CompactScan(text, at, ScanMode::copy, &out).run(levels);
  if (!end) out.resize(outSize);
  return end;
}

std::optional<std::size_t> compactValueLength(std::string_view text) {
  return CompactScan(text, 0, ScanMode::asWritten, nullptr).run(maxJsonDepth);
}

std::optional<std::size_t> skipValidValue(std::string_view text, std::size_t at,
                                          std::size_t levels) {
  return CompactScan(text, skipJsonSpace(text, at), ScanMode::validate, nullptr).run(levels);
}

}  // namespace mivet::bridge
