#include "json_writer.h"

#include "unicode_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace mivet {
namespace {

constexpr char hexDigits[] = "0123456789abcdef";
constexpr char emptyLevel = '0';
constexpr char filledLevel = '1';

// Bytes that may not be copied as they are: control characters, quote,
// backslash and, in most styles, slash.
constexpr std::array<bool, 256> escapeTable(bool slash) {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = true;
  table['"'] = table['\\'] = true;
  table['/'] = slash;
  return table;
}
constexpr auto escapeWithSlash = escapeTable(true);
constexpr auto escapeWithoutSlash = escapeTable(false);

// How many of the eight bytes in `word`, in memory order, come before the
// first that must be escaped (a control character, a quote, a backslash or,
// when asked, a slash); 8 when none must. All eight are tested at once; the
// lowest marked byte is always a true one.
std::size_t plainBytesAtStart(std::uint64_t word, bool slash) {
  constexpr std::uint64_t ones = 0x0101010101010101, highBits = 0x8080808080808080;
  auto zeroBytes = [](std::uint64_t v) { return (v - ones) & ~v & highBits; };
  std::uint64_t found = ((word - ones * 0x20) & ~word & highBits) |
                        zeroBytes(word ^ (ones * '"')) | zeroBytes(word ^ (ones * '\\'));
  if (slash) found |= zeroBytes(word ^ (ones * '/'));
  if (found == 0) return 8;
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(found)) / 8;
  } else {
    return static_cast<std::size_t>(std::countl_zero(found)) / 8;
  }
}

// Writes the escape sequence of `byte` at `out`; returns the end of it.
char* writeEscape(char* out, unsigned char byte) {
  *out++ = '\\';
  switch (byte) {
    case '"': *out++ = '"'; break;
    case '\\': *out++ = '\\'; break;
    case '/': *out++ = '/'; break;
    case '\b': *out++ = 'b'; break;
    case '\f': *out++ = 'f'; break;
    case '\n': *out++ = 'n'; break;
    case '\r': *out++ = 'r'; break;
    case '\t': *out++ = 't'; break;
    default:
      *out++ = 'u';
      *out++ = '0';
      *out++ = '0';
      *out++ = hexDigits[byte >> 4];
      *out++ = hexDigits[byte & 0xF];
  }
  return out;
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
  if (!isPlainAscii(text) && !isValidUtf8(text)) {
    failed_ = true;
    out_ += "\"\"";
    return;
  }
  escapedValidUtf8(text);
}

void JsonWriter::escapedValidUtf8(std::string_view text) {
  const bool slash = style_.escapeSlashes;
  const auto& escapes = slash ? escapeWithSlash : escapeWithoutSlash;
  constexpr std::size_t chunk = 1024;
  // Escapes are written straight into the output, which is given room for
  // the worst case (six bytes per input byte) one chunk of input at a time.
  std::size_t at = out_.size();
  std::size_t i = 0;
  out_.resize(at + 6 * std::min(text.size(), chunk) + 2);
  out_[at++] = '"';
  for (;;) {
    char* out = out_.data();
    std::size_t chunkEnd = std::min(text.size(), i + chunk);
    while (i < chunkEnd) {
      if (i + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        // Bytes before the first one to escape are copied whole.
        std::size_t plain = plainBytesAtStart(word, slash);
        std::memcpy(out + at, &word, 8);
        at += plain;
        i += plain;
        if (plain == 8) continue;
      }
      unsigned char byte = static_cast<unsigned char>(text[i++]);
      if (escapes[byte]) {
        at = static_cast<std::size_t>(writeEscape(out + at, byte) - out);
      } else {
        out[at++] = static_cast<char>(byte);
      }
    }
    if (i >= text.size()) break;
    out_.resize(at + 6 * std::min(text.size() - i, chunk) + 2);
  }
  out_[at++] = '"';
  out_.resize(at);
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
    case element_type::STRING:
      // The reader has already checked that parsed text is valid UTF-8.
      beforeValue();
      escapedValidUtf8(value.get_string().value_unsafe());
      break;
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
