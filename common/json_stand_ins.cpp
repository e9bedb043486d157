#include "json_stand_ins.h"

#include "json_escapes.h"
#include "json_text_walk.h"

#include <cstdint>

namespace mivet::detail {
namespace {

constexpr char rawNumberStandIn = '~';
constexpr char rawNumberMark = '\xFF';
// Surrogates U+D800..U+DFFF stand in as U+E000..U+E7FF: both are three bytes
// of UTF-8, and only the first two bytes differ.
constexpr char32_t standInOffset = 0x800;

bool isHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
bool isSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}
bool isStandInRange(char32_t c) {
  return c >= 0xE000 && c <= 0xE7FF;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The end of the number -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? that
// begins at text[at]; nullopt when none begins there.
std::optional<std::size_t> jsonNumberEnd(std::string_view text, std::size_t at) {
  std::size_t i = at;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    return i > start;
  };
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0') {
    ++i;
  } else if (!digits()) {
    return std::nullopt;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!digits()) return std::nullopt;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return std::nullopt;
  }
  return i;
}

// Whether the number `token` surely lies within what the parser holds: an
// integer of up to 18 digits, or a fraction short enough, with an exponent of
// at most two digits, to lie far inside a double's range.
bool surelyHeld(std::string_view token) {
  const std::size_t exponent = token.find_first_of("eE");
  if (exponent == std::string_view::npos) {
    return token.size() <= 18 || (token.find('.') != std::string_view::npos && token.size() <= 20);
  }
  const std::size_t signs = token[exponent + 1] == '-' || token[exponent + 1] == '+' ? 1 : 0;
  return token.size() <= 20 && token.size() - exponent - 1 - signs <= 2;
}

bool hasNonZeroDigit(std::string_view mantissa) {
  return mantissa.find_first_of("123456789") != std::string_view::npos;
}

// Whether the parser holds the number `token` (valid JSON number text) as
// written: it takes it, and does not round it to zero unless it is zero.
bool parserHolds(std::string_view token, simdjson::dom::parser& probe) {
  if (surelyHeld(token)) return true;
  std::string array;
  array.reserve(token.size() + 2);
  array += '[';
  array.append(token);
  array += ']';
  simdjson::dom::element number;
  if (probe.parse(array).at(0).get(number) != simdjson::SUCCESS) return false;
  double value = 0;
  if (number.type() != simdjson::dom::element_type::DOUBLE ||
      number.get_double().get(value) != simdjson::SUCCESS || value != 0) {
    return true;
  }
  return !hasNonZeroDigit(token.substr(0, token.find_first_of("eE")));
}

// Whether the UTF-8 bytes at `bytes` begin a character of U+E000..U+E7FF
// (EE 80 80 to EE 9F BF); the second byte is read.
bool beginsStandInRange(const char* bytes) {
  const auto second = static_cast<unsigned char>(bytes[1]);
  return static_cast<unsigned char>(bytes[0]) == 0xEE && second >= 0x80 && second <= 0x9F;
}

// How many characters U+E000..U+E7FF text[from, to) holds as UTF-8.
std::size_t literalStandInRange(std::string_view text, std::size_t from, std::size_t to) {
  std::size_t count = 0;
  for (std::size_t i = from; i + 1 < to; ++i) {
    if (beginsStandInRange(text.data() + i)) ++count;
  }
  return count;
}

// The walk's policy: notes every value the parser cannot hold as written.
class StandInFinder {
 public:
  explicit StandInFinder(std::string_view text) : text_(text) {}

  bool space(std::size_t /*at*/) const { return true; }
  bool slash(std::size_t /*at*/) const { return true; }

  void stringStart(std::size_t at) {
    ordinal_ = strings_++;
    inRange_ = 0;
    countedTo_ = at + 1;
  }

  std::optional<std::size_t> unicodeEscape(std::size_t at, char32_t unit) {
    if (isHighSurrogate(unit)) {
      auto next = unicodeEscapeAt(text_, at + 6);
      if (next && isLowSurrogate(*next)) return at + 12;  // a pair: one character
    }
    if (isSurrogate(unit) || isStandInRange(unit)) {
      // Escaped or not, every character of U+E000..U+E7FF counts, or the
      // restore would turn the wrong one into the surrogate.
      inRange_ += literalStandInRange(text_, countedTo_, at);
      countedTo_ = at + 6;
      if (isSurrogate(unit)) noteSurrogate(at);
      ++inRange_;
    }
    return at + 6;
  }

  std::optional<std::size_t> number(std::size_t at) {
    auto end = jsonNumberEnd(text_, at);
    if (!end) return std::nullopt;
    if (!parserHolds(text_.substr(at, *end - at), probe_)) {
      found_.edits.push_back({at, *end - at, true});
      found_.strings.push_back({strings_++, true, {}});  // a string in the rewritten text
    }
    return end;
  }

  StandIns found() && { return std::move(found_); }

 private:
  void noteSurrogate(std::size_t at) {
    found_.edits.push_back({at, 6, false});
    if (found_.strings.empty() || found_.strings.back().ordinal != ordinal_) {
      found_.strings.push_back({ordinal_, false, {}});
    }
    found_.strings.back().surrogates.push_back(inRange_);
  }

  std::string_view text_;
  simdjson::dom::parser probe_;
  StandIns found_;
  std::size_t strings_ = 0;  // strings seen so far, keys included
  std::size_t ordinal_ = 0;  // the current string's
  // The current string's characters U+E000..U+E7FF and surrogates before
  // text_[countedTo_].
  std::size_t inRange_ = 0;
  std::size_t countedTo_ = 0;  // where counting goes on in the current string
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
      if (!beginsStandInRange(bytes + i)) continue;
      if (inRange++ == *wanted) {
        bytes[i] = '\xED';
        bytes[i + 1] = static_cast<char>(bytes[i + 1] + 0x20);
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

std::optional<StandIns> findStandIns(std::string_view text) {
  StandInFinder finder(text);
  const std::size_t start = skipJsonSpace(text, 0);
  auto end = JsonTextWalk(text, start, finder).run(maxJsonDepth);
  if (!end || skipJsonSpace(text, *end) != text.size()) return std::nullopt;
  return std::move(finder).found();
}

std::string withStandIns(std::string_view text, const StandIns& standIns) {
  std::string out;
  out.reserve(text.size() + 3 * standIns.edits.size());
  std::size_t copied = 0;
  for (const StandInEdit& edit : standIns.edits) {
    out.append(text, copied, edit.at - copied);
    if (edit.number) {
      out += '"';
      out += rawNumberStandIn;
      out.append(text, edit.at, edit.length);
      out += '"';
    } else {
      char escape[6];
      writeUnicodeEscape(escape, *unicodeEscapeAt(text, edit.at) + standInOffset);
      out.append(escape, sizeof escape);
    }
    copied = edit.at + edit.length;
  }
  out.append(text, copied);
  return out;
}

void restoreStandIns(simdjson::dom::element root, const std::vector<StandInString>& strings) {
  Restorer restorer{strings};
  restorer.visit(root);
}

}  // namespace mivet::detail
