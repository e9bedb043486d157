#include "MivetBrowserBridge/in_place_json.h"

namespace mivet::bridge {

ObjectParsers newObjectParsers() {
  return std::move(*newJsonParser());
}

std::optional<simdjson::dom::object> parseObjectInPlace(ObjectParsers& parsers,
                                                        const std::string& text) {
  return parseJsonObjectInPlace(parsers, text);
}

}  // namespace mivet::bridge
