#include "json_reader.h"

namespace mivet {

std::unique_ptr<simdjson::dom::parser> newJsonParser() {
  auto parser = std::make_unique<simdjson::dom::parser>();
  // Capacity grows on demand; the depth limit set here is kept when it does.
  std::ignore = parser->allocate(4096, maxJsonDepth);
  return parser;
}

std::optional<simdjson::dom::object> parseJsonObject(simdjson::dom::parser& parser,
                                                     std::string_view text) {
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size()).get(root) != simdjson::SUCCESS) return std::nullopt;
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
