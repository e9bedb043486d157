#include "json_reader.h"

#include "json_stand_ins.h"

#include <algorithm>

namespace mivet {
namespace {

// Above this, a parser's buffers are given back after use.
constexpr std::size_t largeCapacity = std::size_t{4} << 20;
constexpr std::size_t initialCapacity = 4096;

std::unique_ptr<simdjson::dom::parser> newParser(std::size_t depth) {
  auto parser = std::make_unique<simdjson::dom::parser>();
  // Capacity grows on demand; the depth limit set here is kept when it does.
  std::ignore = parser->allocate(initialCapacity, depth);
  return parser;
}

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

std::optional<simdjson::dom::object> asObject(simdjson::dom::element root) {
  simdjson::dom::object object;
  if (root.get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
  return object;
}

// Whether the text the parser refused may be valid JSON that it cannot hold
// as it is. Releases differ in the error they give for a number that is too
// large, so only the errors that rule it out are listed.
bool mayBeUnrepresentable(simdjson::error_code error) {
  return error != simdjson::SUCCESS && error != simdjson::DEPTH_ERROR &&
         error != simdjson::UTF8_ERROR && error != simdjson::EMPTY && error != simdjson::CAPACITY &&
         error != simdjson::MEMALLOC;
}

simdjson::dom::parser& exactParser(JsonParser& parser) {
  // One level of slack over `shallow`; the exact container depth is checked
  // on the text.
  if (!parser.exact) parser.exact = newParser(maxJsonDepth + 1);
  return *parser.exact;
}

std::optional<simdjson::dom::object> parseWithStandIns(JsonParser& parser, std::string_view text) {
  auto rewritten = detail::withStandIns(text);
  if (!rewritten) return std::nullopt;
  simdjson::dom::element root;
  if (exactParser(parser).parse(rewritten->text).get(root) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  if (containerDepth(rewritten->text) > maxJsonDepth) return std::nullopt;
  detail::restoreStandIns(root, rewritten->strings);
  return asObject(root);
}

std::optional<simdjson::dom::object> parseExactly(JsonParser& parser, std::string_view text) {
  simdjson::dom::element root;
  auto error = exactParser(parser).parse(text.data(), text.size()).get(root);
  if (mayBeUnrepresentable(error)) return parseWithStandIns(parser, text);
  if (error != simdjson::SUCCESS || containerDepth(text) > maxJsonDepth) return std::nullopt;
  return asObject(root);
}

std::optional<simdjson::dom::object> afterShallowParse(JsonParser& parser, std::string_view text,
                                                       simdjson::error_code error,
                                                       simdjson::dom::element root) {
  if (error == simdjson::SUCCESS) return asObject(root);
  if (error == simdjson::DEPTH_ERROR) return parseExactly(parser, text);
  if (mayBeUnrepresentable(error)) return parseWithStandIns(parser, text);
  return std::nullopt;
}

bool isLarge(const std::unique_ptr<simdjson::dom::parser>& parser) {
  return parser && parser->capacity() > largeCapacity;
}

}  // namespace

std::unique_ptr<JsonParser> newJsonParser() {
  auto parser = std::make_unique<JsonParser>();
  parser->shallow = newParser(maxJsonDepth);
  return parser;
}

std::optional<simdjson::dom::object> parseJsonObject(JsonParser& parser, std::string_view text) {
  simdjson::dom::element root;
  auto error = parser.shallow->parse(text.data(), text.size()).get(root);
  return afterShallowParse(parser, text, error, root);
}

std::optional<simdjson::dom::object> parseJsonObjectInPlace(JsonParser& parser,
                                                            const std::string& text) {
  simdjson::dom::element root;
  // This overload looks at the capacity to decide whether a padded copy is needed.
  auto error = parser.shallow->parse(text).get(root);
  return afterShallowParse(parser, text, error, root);
}

bool holdsLargeBuffers(const JsonParser& parser) {
  return isLarge(parser.shallow) || isLarge(parser.exact);
}

void releaseLargeBuffers(JsonParser& parser) {
  if (isLarge(parser.shallow)) parser.shallow = newParser(maxJsonDepth);
  if (isLarge(parser.exact)) parser.exact.reset();
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

std::optional<std::string_view> rawNumberText(std::string_view elementString) {
  if (elementString.empty() || elementString.front() != '\xFF') return std::nullopt;
  return elementString.substr(1);
}

std::optional<std::string_view> jsonString(simdjson::dom::element value) {
  std::string_view text;
  if (value.get_string().get(text) != simdjson::SUCCESS || rawNumberText(text)) {
    return std::nullopt;
  }
  return text;
}

std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key) {
  simdjson::dom::element value;
  if (object.at_key(key).get(value) != simdjson::SUCCESS) return std::nullopt;
  return jsonString(value);
}

std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key) {
  simdjson::dom::object value;
  if (object.at_key(key).get_object().get(value) != simdjson::SUCCESS) return std::nullopt;
  return value;
}

}  // namespace mivet
