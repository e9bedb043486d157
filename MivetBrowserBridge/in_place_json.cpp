#include "MivetBrowserBridge/in_place_json.h"

#include "common/json_reader.h"

namespace mivet::bridge {

ObjectParsers newObjectParsers() {
  ObjectParsers parsers{std::make_unique<simdjson::dom::parser>(), nullptr};
  // Capacity grows on demand; the depth limit set here is kept when it does.
  std::ignore = parsers.shallow->allocate(4096, maxJsonDepth);
  return parsers;
}

std::optional<simdjson::dom::object> parseObjectInPlace(ObjectParsers& parsers,
                                                        const std::string& text) {
  simdjson::dom::element root;
  // This overload looks at the capacity to decide whether a padded copy is needed.
  auto error = parsers.shallow->parse(text).get(root);
  if (error == simdjson::DEPTH_ERROR) {
    // Rare: near the limit, only parseJsonObject tells the levels apart exactly.
    if (!parsers.exact) parsers.exact = newJsonParser();
    return parseJsonObject(*parsers.exact, text);
  }
  simdjson::dom::object object;
  if (error != simdjson::SUCCESS || root.get_object().get(object) != simdjson::SUCCESS) {
    return std::nullopt;
  }
  return object;
}

}  // namespace mivet::bridge
