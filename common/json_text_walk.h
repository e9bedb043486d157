#pragma once

#include "json_escapes.h"
#include "json_reader.h"

#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

// One walk over JSON text, for the code that reads text without parsing it
// into values: the bridge's compact copy and the reader's search for values
// the parser cannot hold. The walk checks the grammar, keeps to a limit of
// nested objects and arrays and steps across strings in long runs; at the
// places where texts of the same value may differ (white space, "/" in
// strings, \u escapes, numbers) it asks a policy, which may copy, rewrite,
// take note or give up. It does not check UTF-8; the parser or the callers do.
//
// A policy has these members; those that answer an offset answer where the
// walk goes on, or nullopt to give up:
//   bool space(std::size_t at);          JSON white space at text[at]
//   bool slash(std::size_t at);          a "/" inside a string
//   void stringStart(std::size_t at);    the opening quote of a string (keys too)
//   std::optional<std::size_t> unicodeEscape(std::size_t at, char32_t unit);
//                                        a valid \uXXXX whose backslash is at text[at]
//   std::optional<std::size_t> number(std::size_t at);
//                                        a number (or not) that begins at text[at]

namespace mivet {

// Each translation unit gets the string scan it is compiled for: the portable
// one, which tests build on purpose, has names of its own, so that one program
// may hold both.
#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
inline namespace sse2_scan {
#else
inline namespace portable_scan {
#endif

namespace walk_detail {

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

// A byte that JsonWriter copies unchanged inside a string.
constexpr bool plainInString(unsigned char c) {
  return c >= 0x20 && c != '"' && c != '\\' && c != '/';
}

#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
// Bit i set when byte i of the 16 at `p` needs a second look inside a string.
inline std::uint32_t specialMask16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
  const __m128i special =
      _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))),
                   _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\')),
                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('/'))));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(special));
}
#endif

}  // namespace walk_detail

// The first offset from `at` inside a string that holds a byte JsonWriter does
// not copy unchanged ('"', '\\', '/' or a control character); the end of
// `text` when there is none. Sixteen or eight bytes at a time.
inline std::size_t nextSpecialInString(std::string_view text, std::size_t at) {
#if defined(__SSE2__) && !defined(MIVET_PORTABLE_SCAN)
  for (; at + 16 <= text.size(); at += 16) {
    if (std::uint32_t mask = walk_detail::specialMask16(text.data() + at)) {
      return at + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
#endif
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    using walk_detail::byteEquals;
    std::uint64_t special = walk_detail::byteBelow(word, 0x20) | byteEquals(word, '"') |
                            byteEquals(word, '\\') | byteEquals(word, '/');
    if (special == 0) continue;
    if constexpr (std::endian::native == std::endian::little) {
      return at + static_cast<std::size_t>(std::countr_zero(special) / 8);
    }
    break;
  }
  while (at < text.size() && walk_detail::plainInString(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

constexpr bool isJsonSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The offset of the first byte from `at` that is not JSON white space.
inline std::size_t skipJsonSpace(std::string_view text, std::size_t at) {
  while (at < text.size() && isJsonSpace(text[at])) ++at;
  return at;
}

// Walks the one JSON value that starts at text[at] (not white space), with at
// most `levels` (at most maxJsonDepth) levels of objects and arrays, asking
// `policy` as the comment at the top says. run() returns the offset just past
// the value; nullopt when the text is not such a value or the policy gave up.
template <typename Policy>
class JsonTextWalk {
 public:
  JsonTextWalk(std::string_view text, std::size_t at, Policy& policy)
      : text_(text), policy_(policy), at_(at) {}

  std::optional<std::size_t> run(std::size_t levels) {
    levels = std::min(levels, maxJsonDepth);
    Expect expect = Expect::value;
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (isJsonSpace(c)) {
        if (!policy_.space(at_)) return std::nullopt;
        ++at_;
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
            if (--depth_ == 0) return at_;
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
      if (depth_ == 0) return at_;
      expect = Expect::commaOrClose;
    }
    return std::nullopt;  // the text ended inside the value
  }

 private:
  // What the walk expects next.
  enum class Expect { value, valueOrClose, name, nameOrClose, colon, commaOrClose };

  bool inObject() const { return objects_[depth_ - 1]; }

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
        if (auto end = policy_.number(at_)) {
          at_ = *end;
          return true;
        }
        return false;
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool string() {
    policy_.stringStart(at_);
    for (++at_;;) {
      at_ = nextSpecialInString(text_, at_);
      if (at_ >= text_.size()) return false;
      switch (text_[at_]) {
        case '"':
          ++at_;
          return true;
        case '/':
          if (!policy_.slash(at_)) return false;
          ++at_;
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
        at_ += 2;
        return true;
      case 'u':
        break;
      default:
        return false;
    }
    auto unit = unicodeEscapeAt(text_, at_);
    if (!unit) return false;
    auto next = policy_.unicodeEscape(at_, *unit);
    if (!next) return false;
    at_ = *next;
    return true;
  }

  std::string_view text_;
  Policy& policy_;
  std::size_t at_;
  std::size_t depth_ = 0;              // objects and arrays open
  std::bitset<maxJsonDepth> objects_;  // whether each open one is an object
};

}  // namespace sse2_scan or portable_scan
}  // namespace mivet
