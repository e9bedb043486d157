#include "json_writer.h"

#include "unicode_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace mivet {
namespace {

constexpr char hexDigits[] = "0123456789abcdef";

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
  Level& level = levels_.back();
  if (!level.empty) out_ += ',';
  level.empty = false;
  if (style_.pretty) newline();
}

void JsonWriter::open(char bracket, bool isObject) {
  beforeValue();
  out_ += bracket;
  levels_.push_back(Level{isObject});
}

void JsonWriter::close(char bracket) {
  bool wasEmpty = levels_.back().empty;
  levels_.pop_back();
  if (style_.pretty && !wasEmpty) newline();
  out_ += bracket;
}

void JsonWriter::beginObject() {
  open('{', true);
}
void JsonWriter::endObject() {
  close('}');
}
void JsonWriter::beginArray() {
  open('[', false);
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
  if (!isValidUtf8(text)) {
    failed_ = true;
    out_ += "\"\"";
    return;
  }
  out_ += '"';
  std::size_t plainStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool special = c < 0x20 || c == '"' || c == '\\' || (c == '/' && style_.escapeSlashes);
    if (!special) continue;
    out_.append(text, plainStart, i - plainStart);
    plainStart = i + 1;
    out_ += '\\';
    switch (c) {
      case '"':
        out_ += '"';
        break;
      case '\\':
        out_ += '\\';
        break;
      case '/':
        out_ += '/';
        break;
      case '\b':
        out_ += 'b';
        break;
      case '\f':
        out_ += 'f';
        break;
      case '\n':
        out_ += 'n';
        break;
      case '\r':
        out_ += 'r';
        break;
      case '\t':
        out_ += 't';
        break;
      default:
        out_ += "u00";
        out_ += hexDigits[c >> 4];
        out_ += hexDigits[c & 0xF];
    }
  }
  out_.append(text, plainStart, text.size() - plainStart);
  out_ += '"';
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
      string(value.get_string().value_unsafe());
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
    for (auto field : value) {
      key(field.key);
      element(field.value);
    }
  } else {
    std::vector<std::pair<std::string_view, simdjson::dom::element>> fields;
    fields.reserve(value.size());
    for (auto field : value) fields.emplace_back(field.key, field.value);
    // string_view compares bytes as unsigned, which for UTF-8 is code-point order.
    std::stable_sort(fields.begin(), fields.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, member] : fields) {
      key(name);
      element(member);
    }
  }
  endObject();
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
