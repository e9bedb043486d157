#include "json_writer.h"

#include "json_escapes.h"
#include "json_reader.h"
#include "unicode_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace mivet {
namespace {

constexpr char emptyLevel = '0';
constexpr char filledLevel = '1';

// Bytes that may not be copied as they are: control characters, quote,
// backslash and, in most styles, slash.
constexpr std::array<bool, 256> escapeTable(bool slash) {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x80; ++c)
    table[c] = !jsonEscape(static_cast<unsigned char>(c), slash).empty();
  return table;
}
constexpr auto escapeWithSlash = escapeTable(true);
constexpr auto escapeWithoutSlash = escapeTable(false);

// Lead byte of the 3-byte forms of U+D000..U+DFFF, among them the lone
// surrogates that parsed strings may hold; those are written as \u escapes.
constexpr unsigned char surrogateLead = 0xED;

// The high bit of every byte of `word` that may have to be escaped: a control
// character, a quote, a backslash, a surrogate's lead byte or, when asked, a
// slash. Exact for every byte, so the marks can be walked one by one.
std::uint64_t escapeMask(std::uint64_t word, bool slash) {
  constexpr std::uint64_t ones = 0x0101010101010101, low7 = 0x7F7F7F7F7F7F7F7F;
  auto zeroBytes = [](std::uint64_t v) { return ~(((v & low7) + low7) | v | low7); };
  std::uint64_t found = zeroBytes(word & (ones * 0xE0)) | zeroBytes(word ^ (ones * '"')) |
                        zeroBytes(word ^ (ones * '\\')) | zeroBytes(word ^ (ones * surrogateLead));
  if (slash) found |= zeroBytes(word ^ (ones * '/'));
  return found;
}

// The index, in memory order, of the first marked byte of a non-zero mask.
std::size_t firstMarkedByte(std::uint64_t mask) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(mask)) / 8;
  } else {
    return static_cast<std::size_t>(std::countl_zero(mask)) / 8;
  }
}

// `word` with its first `count` bytes, in memory order, removed (count < 8 or 8).
std::uint64_t shiftOutBytes(std::uint64_t word, std::size_t count) {
  if (count >= 8) return 0;
  if constexpr (std::endian::native == std::endian::little) {
    return word >> (8 * count);
  } else {
    return word << (8 * count);
  }
}

// Writes the escape of `byte`, one that escapeTable marks, at `out`; returns
// the end of it.
char* writeEscape(char* out, unsigned char byte) {
  const std::string_view escape = jsonEscape(byte, true);
  std::memcpy(out, escape.data(), escape.size());
  return out + escape.size();
}

// simdjson 4 added an element type for integers beyond 64 bits, made only
// when the parser is asked to keep such numbers as text (this project does
// not ask). Their digits, exactly as written; nullopt for every other element
// and with older releases, whose elements have no get_bigint.
template <typename Element>
std::optional<std::string_view> bigIntegerDigits(Element value) {
  if constexpr (requires { value.get_bigint(); }) {
    std::string_view digits;
    if (value.get_bigint().get(digits) == simdjson::SUCCESS) return digits;
  }
  return std::nullopt;
}

// Members in ascending key order, equal keys in their original order. Most
// objects are small, and insertion sort needs no temporary buffer for them.
template <typename Iterator>
void sortMembers(Iterator first, Iterator last) {
  auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (last - first > 16) {
    std::stable_sort(first, last, byKey);
    return;
  }
  for (auto i = first; i != last; ++i) {
    auto moving = *i;
    auto j = i;
    for (; j != first && byKey(moving, *(j - 1)); --j) *j = *(j - 1);
    *j = moving;
  }
}

bool isPlainAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
}

}  // namespace

JsonWriter::JsonWriter(std::string& out, JsonStyle style) : out_(out), style_(style) {}

void JsonWriter::newline() {
  out_ += '\n';
  out_.append(levels_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (levels_.back() == filledLevel) out_ += ',';
  levels_.back() = filledLevel;
  if (style_.pretty) newline();
}

void JsonWriter::open(char bracket) {
  beforeValue();
  out_ += bracket;
  levels_ += emptyLevel;
}

void JsonWriter::close(char bracket) {
  bool wasEmpty = levels_.back() == emptyLevel;
  levels_.pop_back();
  if (style_.pretty && !wasEmpty) newline();
  out_ += bracket;
}

void JsonWriter::beginObject() {
  open('{');
}
void JsonWriter::endObject() {
  close('}');
}
void JsonWriter::beginArray() {
  open('[');
}
void JsonWriter::endArray() {
  close(']');
}

void JsonWriter::key(std::string_view name) {
  beforeValue();
  escaped(name);
  out_ += style_.pretty ? " : " : ":";
  afterKey_ = true;
}

void JsonWriter::string(std::string_view value) {
  beforeValue();
  escaped(value);
}

void JsonWriter::number(std::int64_t value) {
  beforeValue();
  appendNumber(out_, value);
}

void JsonWriter::number(std::uint64_t value) {
  beforeValue();
  appendNumber(out_, value);
}

void JsonWriter::number(double value) {
  beforeValue();
  // "-0" would read back as the integer 0 and lose the sign.
  if (value == 0 && std::signbit(value)) {
    out_ += "-0.0";
    return;
  }
  // The shortest text that reads back the same; 1.0 is "1". Integral values
  // too large for a 64-bit integer keep an exponent, or a reader would take
  // them for an integer it cannot hold.
  char buffer[32];
  auto written = std::fabs(value) >= 1e18 ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                          std::chars_format::scientific)
                                          : std::to_chars(buffer, buffer + sizeof buffer, value);
  out_.append(buffer, written.ptr);
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::null() {
  beforeValue();
  out_ += "null";
}

void JsonWriter::raw(std::string_view json) {
  beforeValue();
  out_ += json;
}

void JsonWriter::escaped(std::string_view text) {
  if (!isPlainAscii(text) && !isValidUtf8(text) && !isValidWtf8(text)) {
    failed_ = true;
    out_ += "\"\"";
    return;
  }
  escapedValidUtf8(text);
}

// Escapes `text` into `out`, which has room for six bytes per input byte and
// eight more; returns the end of what was written. Eight bytes are examined
// at a time: plain runs are stored a word at a time, up to the next byte that
// may need an escape.
char* JsonWriter::escapeInto(char* out, std::string_view text) const {
  const bool slash = style_.escapeSlashes;
  const auto& escapes = slash ? escapeWithSlash : escapeWithoutSlash;
  const char* in = text.data();
  std::size_t i = 0;
  while (i + 8 <= text.size()) {
    std::uint64_t word;
    std::memcpy(&word, in + i, 8);
    std::uint64_t specials = escapeMask(word, slash);
    std::size_t from = 0;  // first byte of the word not yet written
    std::size_t next = i + 8;
    while (specials != 0) {
      std::size_t at = firstMarkedByte(specials);
      std::uint64_t rest = shiftOutBytes(word, from);
      std::memcpy(out, &rest, 8);  // the plain bytes before `at`, and some to be overwritten
      out += at - from;
      std::size_t after = escapeAt(out, text, i + at);
      from = at + 1;
      specials &= specials - 1;
      // A surrogate's escape took bytes past this one, maybe past the word.
      if (after != i + at + 1) {
        next = after;
        from = 8;
        break;
      }
    }
    if (from < 8) {
      std::uint64_t rest = shiftOutBytes(word, from);
      std::memcpy(out, &rest, 8);
      out += 8 - from;
    }
    i = next;
  }
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(in[i]);
    if (escapes[byte] || byte == surrogateLead) {
      i = escapeAt(out, text, i);
    } else {
      *out++ = static_cast<char>(byte);
      ++i;
    }
  }
  return out;
}

// Writes the byte at text[at], escaped if it has to be, or the escape of the
// lone surrogate that starts there; returns the index of the next byte.
std::size_t JsonWriter::escapeAt(char*& out, std::string_view text, std::size_t at) const {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(at) == surrogateLead) {
    if (at + 2 < text.size() && byte(at + 1) >= 0xA0) {
      unsigned codePoint = 0xD000u | ((byte(at + 1) & 0x3Fu) << 6) | (byte(at + 2) & 0x3Fu);
      out = writeUnicodeEscape(out, codePoint);
      return at + 3;
    }
    *out++ = static_cast<char>(byte(at));
    return at + 1;
  }
  const auto& escapes = style_.escapeSlashes ? escapeWithSlash : escapeWithoutSlash;
  if (escapes[byte(at)]) {
    out = writeEscape(out, byte(at));
  } else {
    *out++ = static_cast<char>(byte(at));
  }
  return at + 1;
}

void JsonWriter::escapedValidUtf8(std::string_view text) {
  // Escaped a piece at a time on the stack, so that the output grows once per
  // piece; most keys and values fit in one.
  constexpr std::size_t piece = 256;
  char buffer[6 * piece + 16];
  char* end = buffer;
  *end++ = '"';
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = std::min(piece, text.size() - i);
    // A piece ends before the start of a character, never inside one.
    while (i + length < text.size() &&
           (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
      --length;
    }
    end = escapeInto(end, text.substr(i, length));
    i += length;
    if (i < text.size()) {
      out_.append(buffer, end);
      end = buffer;
    }
  }
  *end++ = '"';
  out_.append(buffer, end);
}

void JsonWriter::element(simdjson::dom::element value) {
  using simdjson::dom::element_type;
  switch (value.type()) {
    case element_type::OBJECT:
      element(value.get_object().value_unsafe());
      break;
    case element_type::ARRAY:
      element(value.get_array().value_unsafe());
      break;
    case element_type::STRING: {
      // The reader has already checked parsed strings: UTF-8 but for lone
      // surrogates, or a number kept as it was written.
      beforeValue();
      auto content = stringContent(value);
      if (content.isRawNumber) {
        out_ += content.text;
      } else {
        escapedValidUtf8(content.text);
      }
      break;
    }
    case element_type::INT64:
      number(value.get_int64().value_unsafe());
      break;
    case element_type::UINT64:
      number(value.get_uint64().value_unsafe());
      break;
    case element_type::DOUBLE:
      number(value.get_double().value_unsafe());
      break;
    case element_type::BOOL:
      boolean(value.get_bool().value_unsafe());
      break;
    case element_type::NULL_VALUE:
      null();
      break;
    default:  // element types of newer simdjson releases
      if (auto digits = bigIntegerDigits(value)) {
        raw(*digits);
      } else {
        failed_ = true;
      }
      break;
  }
}

void JsonWriter::element(simdjson::dom::object value) {
  beginObject();
  if (!style_.sortKeys) {
    for (auto field : value) member(field.key, field.value);
  } else {
    // Nested objects stack their members after this object's in the scratch
    // space, so it is addressed by index: it may grow while members are written.
    std::size_t first = sortScratch_.size();
    for (auto field : value) sortScratch_.emplace_back(field.key, field.value);
    // string_view compares bytes as unsigned, which for UTF-8 is code-point order.
    sortMembers(sortScratch_.begin() + static_cast<std::ptrdiff_t>(first), sortScratch_.end());
    std::size_t last = sortScratch_.size();
    for (std::size_t i = first; i < last; ++i) {
      auto [name, field] = sortScratch_[i];
      member(name, field);
    }
    sortScratch_.resize(first);
  }
  endObject();
}

void JsonWriter::member(std::string_view name, simdjson::dom::element value) {
  beforeValue();
  escapedValidUtf8(name);
  out_ += style_.pretty ? " : " : ":";
  afterKey_ = true;
  element(value);
}

void JsonWriter::element(simdjson::dom::array value) {
  beginArray();
  for (auto item : value) element(item);
  endArray();
}

std::string jsonQuoted(std::string_view value, JsonStyle style) {
  std::string out;
  JsonWriter writer(out, style);
  writer.string(value);
  return out;
}

}  // namespace mivet
