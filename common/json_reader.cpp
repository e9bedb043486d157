#include "json_reader.h"

#include <algorithm>

namespace mivet {
namespace {

// The deepest nesting of arrays and objects in valid JSON text.
std::size_t containerDepth(std::string_view text) {
  std::size_t depth = 0, deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

// The parser counts a value inside the innermost container as one more
// level, but not an empty innermost container; it is given one level of slack
// and the exact container depth is checked here. Every open container takes
// two entries of the parsed document's tape, so a short tape cannot hold too
// many levels, and only documents with a long one are scanned.
bool withinDepthLimit(const simdjson::dom::parser& parser, std::string_view text) {
  std::size_t tapeEntries = parser.doc.tape[0] & simdjson::internal::JSON_VALUE_MASK;
  if (tapeEntries <= 2 * maxJsonDepth + 1) return true;
  return containerDepth(text) <= maxJsonDepth;
}

}  // namespace

std::unique_ptr<simdjson::dom::parser> newJsonParser() {
  auto parser = std::make_unique<simdjson::dom::parser>();
  // Capacity grows on demand; the depth limit set here is kept when it does.
  std::ignore = parser->allocate(4096, maxJsonDepth + 1);
  return parser;
}

std::optional<simdjson::dom::object> parseJsonObject(simdjson::dom::parser& parser,
                                                     std::string_view text) {
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root) != simdjson::SUCCESS) return std::nullopt;
  if (!withinDepthLimit(parser, text)) return std::nullopt;
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
  return object;
}

std::optional<JsonDocument> parseJsonDocument(std::string_view text) {
  auto parser = newJsonParser();
  auto root = parseJsonObject(*parser, text);
  if (!root) return std::nullopt;
  return JsonDocument{std::move(parser), *root};
}

simdjson::dom::object emptyJsonObject() {
  static const JsonDocument empty = *parseJsonDocument("{}");
  return empty.root;
}

std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key) {
  std::string_view value;
  if (object.at_key(key).get_string().get(value) != simdjson::SUCCESS) return std::nullopt;
  return value;
}

std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key) {
  simdjson::dom::object value;
  if (object.at_key(key).get_object().get(value) != simdjson::SUCCESS) return std::nullopt;
  return value;
}

}  // namespace mivet
