#pragma once

#include "common/json_reader.h"

#include <simdjson.h>

#include <optional>
#include <string>

namespace mivet::bridge {

// The parsers that parseObjectInPlace reuses from one text to the next.
using ObjectParsers = JsonParser;

// Parsers ready for parseObjectInPlace. Never fails.
ObjectParsers newObjectParsers();

// Parses `text` as strictly as parseJsonObject does and returns its
// top-level object, valid until the next parse with `parsers`. The text is
// read where it is, without a copy, when the string's capacity leaves
// simdjson::SIMDJSON_PADDING bytes after its end. nullopt when the text is
// not JSON or its top-level value is not an object.
std::optional<simdjson::dom::object> parseObjectInPlace(ObjectParsers& parsers,
                                                        const std::string& text);

}  // namespace mivet::bridge
