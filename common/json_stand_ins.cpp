#include "json_stand_ins.h"

#include <cstdint>

namespace mivet::detail {
namespace {

constexpr char rawNumberStandIn = '~';
constexpr char rawNumberMark = '\xFF';
// Surrogates U+D800..U+DFFF stand in as U+E000..U+E7FF: both are three bytes
// of UTF-8, and only the first two bytes differ.
constexpr std::uint32_t standInOffset = 0x800;

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of the \uXXXX escape at text[at] (the backslash), or nullopt.
std::optional<std::uint32_t> unicodeEscapeAt(std::string_view text, std::size_t at) {
  if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = at + 2; i < at + 6; ++i) {
    if (!isHex(text[i])) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(text[i] <= '9'   ? text[i] - '0'
                                                    : text[i] <= 'F' ? text[i] - 'A' + 10
                                                                     : text[i] - 'a' + 10);
  }
  return value;
}

bool isHighSurrogate(std::uint32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isSurrogate(std::uint32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}
bool isStandInRange(std::uint32_t c) {
  return c >= 0xE000 && c <= 0xE7FF;
}

void writeEscape(std::string& out, std::uint32_t value) {
  constexpr char hex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(value >> shift) & 0xF];
}

// Copies the string token that starts at text[at] (its opening quote) to
// `out`, each lone escaped surrogate replaced by its stand-in, and notes
// those in `string`. Returns the offset past the closing quote, or the end
// of the text for a string that is never closed.
std::size_t copyString(std::string_view text, std::size_t at, std::string& out,
                       StandInString& string) {
  std::size_t inRange = 0;  // code points U+E000..U+E7FF seen so far
  std::size_t i = at + 1;
  out += '"';
  while (i < text.size() && text[i] != '"') {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (auto escaped = unicodeEscapeAt(text, i)) {
      auto next = unicodeEscapeAt(text, i + 6);
      if (isHighSurrogate(*escaped) && next && *next >= 0xDC00 && *next <= 0xDFFF) {
        out.append(text.substr(i, 12));
        i += 12;
        continue;
      }
      if (isSurrogate(*escaped)) {
        string.surrogates.push_back(inRange);
        writeEscape(out, *escaped + standInOffset);
      } else {
        out.append(text.substr(i, 6));
      }
      inRange += isSurrogate(*escaped) || isStandInRange(*escaped) ? 1 : 0;
      i += 6;
    } else if (byte == '\\') {
      out.append(text.substr(i, 2));
      i += 2;
    } else {
      if (byte == 0xEE && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
          static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
        ++inRange;
      }
      out += text[i];
      ++i;
    }
  }
  if (i < text.size()) {
    out += '"';
    ++i;
  }
  return i;
}

bool isNumberChar(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Whether `token` is a number as JSON writes them: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view token) {
  std::size_t i = 0;
  auto digits = [&] {
    std::size_t start = i;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
    return i > start;
  };
  if (i < token.size() && token[i] == '-') ++i;
  if (i < token.size() && token[i] == '0') {
    ++i;
  } else if (!digits()) {
    return false;
  }
  if (i < token.size() && token[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
    ++i;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == token.size();
}

// Whether the parser holds the number `token` (valid JSON number text).
bool parserHolds(std::string_view token, simdjson::dom::parser& probe) {
  if (token.size() <= 18 && token.find_first_of(".eE") == std::string_view::npos) return true;
  std::string array;
  array.reserve(token.size() + 2);
  array += '[';
  array.append(token);
  array += ']';
  simdjson::dom::element ignored;
  return probe.parse(array).get(ignored) == simdjson::SUCCESS;
}

struct Containers {
  std::string open;   // '{' or '[' for each open container, innermost last
  char previous = 0;  // the last character outside strings that is not white space

  void see(char c) {
    if (c == '{' || c == '[') open += c;
    if ((c == '}' || c == ']') && !open.empty()) open.pop_back();
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') previous = c;
  }
  // A number here is a value, not an object key (where JSON allows no number).
  bool atValue() const {
    return previous == ':' || previous == '[' ||
           (previous == ',' && !open.empty() && open.back() == '[');
  }
};

struct Restorer {
  const std::vector<StandInString>& strings;
  std::size_t ordinal = 0;
  std::size_t next = 0;

  bool done() const { return next == strings.size(); }

  void visitString(std::string_view value) {
    if (!done() && strings[next].ordinal == ordinal) restore(value, strings[next++]);
    ++ordinal;
  }

  // The parser copied every string into storage of its own, which this
  // document owns until the parser's next parse: the bytes may be rewritten.
  static void restore(std::string_view value, const StandInString& string) {
    char* bytes = const_cast<char*>(value.data());
    if (string.rawNumber) {
      bytes[0] = rawNumberMark;
      return;
    }
    std::size_t inRange = 0;
    auto wanted = string.surrogates.begin();
    for (std::size_t i = 0; i + 2 < value.size() && wanted != string.surrogates.end(); ++i) {
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      if (static_cast<unsigned char>(bytes[i]) != 0xEE || second < 0x80 || second > 0x9F) continue;
      if (inRange++ == *wanted) {
        bytes[i] = '\xED';
        bytes[i + 1] = static_cast<char>(second + 0x20);
        ++wanted;
      }
      i += 2;
    }
  }

  void visit(simdjson::dom::element element) {
    if (done()) return;
    switch (element.type()) {
      case simdjson::dom::element_type::OBJECT: {
        simdjson::dom::object object = element.get_object().value_unsafe();
        for (auto field : object) {
          visitString(field.key);
          visit(field.value);
        }
        break;
      }
      case simdjson::dom::element_type::ARRAY: {
        simdjson::dom::array array = element.get_array().value_unsafe();
        for (auto item : array) visit(item);
        break;
      }
      case simdjson::dom::element_type::STRING:
        visitString(element.get_string().value_unsafe());
        break;
      default:
        break;
    }
  }
};

}  // namespace

std::optional<TextWithStandIns> withStandIns(std::string_view text) {
  TextWithStandIns result;
  result.text.reserve(text.size() + 64);
  simdjson::dom::parser probe;
  Containers containers;
  std::size_t ordinal = 0;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"') {
      StandInString string{ordinal++, false, {}};
      i = copyString(text, i, result.text, string);
      if (!string.surrogates.empty()) result.strings.push_back(std::move(string));
      containers.previous = '"';
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t end = i;
      while (end < text.size() && isNumberChar(text[end])) ++end;
      std::string_view token = text.substr(i, end - i);
      if (containers.atValue() && isJsonNumber(token) && !parserHolds(token, probe)) {
        result.strings.push_back({ordinal++, true, {}});
        result.text += '"';
        result.text += rawNumberStandIn;
        result.text += token;
        result.text += '"';
      } else {
        result.text += token;
      }
      containers.previous = '0';
      i = end;
    } else {
      containers.see(c);
      result.text += c;
      ++i;
    }
  }
  if (result.strings.empty()) return std::nullopt;
  return result;
}

void restoreStandIns(simdjson::dom::element root, const std::vector<StandInString>& strings) {
  Restorer restorer{strings};
  restorer.visit(root);
}

}  // namespace mivet::detail
