#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Valid JSON that the parser refuses or cannot hold as written: numbers
// beyond what a 64-bit integer or a double holds (too large, or rounded to
// zero although their digits are not all zero), and escaped surrogates
// without a partner. Before parsing, each such value is replaced by a
// stand-in the parser accepts; after parsing, the stand-ins are turned, in
// the parsed document's own string storage, into the forms described in
// json_reader.h. Only the bytes of a stand-in change, never its length, so
// nothing else of the document moves.

namespace mivet::detail {

// One string of the rewritten text (keys included, counted in text order)
// that holds stand-ins.
struct StandInString {
  std::size_t ordinal = 0;
  // The string stands for a number: it is "~" followed by the number text,
  // and its first byte becomes 0xFF.
  bool rawNumber = false;
  // Which of the string's code points from U+E000 to U+E7FF (counted in
  // order, 0 first) stand for the surrogates U+D800 to U+DFFF.
  std::vector<std::size_t> surrogates;
};

// A value of the original text to be replaced by its stand-in.
struct StandInEdit {
  std::size_t at = 0;      // where the value starts in the text
  std::size_t length = 0;  // its length: a number's, or 6 for a \uXXXX escape
  bool number = false;     // a number, else an escaped surrogate
};

// What a text needs before the parser can take it exactly; both lists are
// empty when it needs nothing.
struct StandIns {
  std::vector<StandInEdit> edits;      // in text order
  std::vector<StandInString> strings;  // in text order
};

// Scans `text`, which must be one JSON value with at most maxJsonDepth levels
// of objects and arrays and nothing but white space around it, for values the
// parser cannot hold as written. nullopt when the text is not such a value,
// beyond its UTF-8, which the parser checks.
std::optional<StandIns> findStandIns(std::string_view text);

// `text` with the values that `standIns` lists replaced by their stand-ins.
std::string withStandIns(std::string_view text, const StandIns& standIns);

// Turns the stand-ins in a document parsed from withStandIns's text into
// their final forms.
void restoreStandIns(simdjson::dom::element root, const std::vector<StandInString>& strings);

}  // namespace mivet::detail
