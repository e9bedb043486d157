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

// Whether the document holds a double that is zero: a zero as written, or a
// number whose digits are not all zero that the parser rounded to zero.
bool holdsZeroDouble(simdjson::dom::element element) {
  switch (element.type()) {
    case simdjson::dom::element_type::OBJECT: {
      const simdjson::dom::object object = element.get_object().value_unsafe();
      return std::any_of(object.begin(), object.end(),
                         [](auto field) { return holdsZeroDouble(field.value); });
    }
    case simdjson::dom::element_type::ARRAY: {
      const simdjson::dom::array array = element.get_array().value_unsafe();
      return std::any_of(array.begin(), array.end(), holdsZeroDouble);
    }
    case simdjson::dom::element_type::DOUBLE:
      return element.get_double().value_unsafe() == 0;
    default:
      return false;
  }
}

// The top-level object of `text`, parsed again with stand-ins for the values
// the parser cannot hold as written when it holds any; `asParsed` when it
// holds none (nullopt when the parser refused the text). Checks the depth of
// the text exactly on the way.
std::optional<simdjson::dom::object> withStandInsIfNeeded(
    JsonParser& parser, std::string_view text, std::optional<simdjson::dom::element> asParsed) {
  auto standIns = detail::findStandIns(text);
  if (!standIns) return std::nullopt;
  if (standIns->edits.empty()) return asParsed ? asObject(*asParsed) : std::nullopt;
  const std::string rewritten = detail::withStandIns(text, *standIns);
  simdjson::dom::element root;
  if (exactParser(parser).parse(rewritten).get(root) != simdjson::SUCCESS) return std::nullopt;
  detail::restoreStandIns(root, standIns->strings);
  return asObject(root);
}

std::optional<simdjson::dom::object> parseExactly(JsonParser& parser, std::string_view text) {
  simdjson::dom::element root;
  auto error = exactParser(parser).parse(text.data(), text.size()).get(root);
  if (error == simdjson::SUCCESS) return withStandInsIfNeeded(parser, text, root);
  if (mayBeUnrepresentable(error)) return withStandInsIfNeeded(parser, text, std::nullopt);
  return std::nullopt;
}

std::optional<simdjson::dom::object> afterShallowParse(JsonParser& parser, std::string_view text,
                                                       simdjson::error_code error,
                                                       simdjson::dom::element root) {
  if (error == simdjson::SUCCESS) {
    auto object = asObject(root);
    if (!object || !holdsZeroDouble(root)) return object;
    return withStandInsIfNeeded(parser, text, root);
  }
  if (error == simdjson::DEPTH_ERROR) return parseExactly(parser, text);
  if (mayBeUnrepresentable(error)) return withStandInsIfNeeded(parser, text, std::nullopt);
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

std::optional<std::string_view> jsonString(simdjson::dom::element value) {
  if (value.type() != simdjson::dom::element_type::STRING) return std::nullopt;
  auto content = stringContent(value);
  if (content.isRawNumber) return std::nullopt;
  return content.text;
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
