#pragma once

#include <simdjson.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Valid JSON that the parser refuses: numbers beyond what a 64-bit integer or
// a double holds, and escaped surrogates without a partner. Before parsing,
// each such value is replaced by a stand-in the parser accepts; after
// parsing, the stand-ins are turned, in the parsed document's own string
// storage, into the forms described in json_reader.h. Only the bytes of a
// stand-in change, never its length, so nothing else of the document moves.

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

struct TextWithStandIns {
  std::string text;
  std::vector<StandInString> strings;
};

// `text` with its unrepresentable values replaced by stand-ins; nullopt when
// it holds none. Text that is not JSON stays not JSON.
std::optional<TextWithStandIns> withStandIns(std::string_view text);

// Turns the stand-ins in a document parsed from withStandIns's text into
// their final forms.
void restoreStandIns(simdjson::dom::element root, const std::vector<StandInString>& strings);

}  // namespace mivet::detail
