#pragma once

#include <simdjson.h>

#include <memory>
#include <optional>
#include <string>

namespace mivet::bridge {

// The parsers that parseObjectInPlace reuses from one text to the next.
struct ObjectParsers {
  // Stops at maxJsonDepth levels as the parser counts them, where a value
  // inside the innermost container is a level of its own: it accepts only
  // texts within the limit, and refuses a few that are within it.
  std::unique_ptr<simdjson::dom::parser> shallow;
  // Made on first need, for the texts that `shallow` finds too deep.
  std::unique_ptr<simdjson::dom::parser> exact;
};

// Parsers ready for parseObjectInPlace. Never fails.
ObjectParsers newObjectParsers();

// Parses `text` as strictly as parseJsonObject does (maxJsonDepth levels of
// objects and arrays at most) and returns its top-level object, valid until
// the next parse with `parsers`. The text is read where it is, without a
// copy, when the string's capacity leaves simdjson::SIMDJSON_PADDING bytes
// after its end. nullopt when the text is not such JSON or its top-level
// value is not an object.
std::optional<simdjson::dom::object> parseObjectInPlace(ObjectParsers& parsers,
                                                        const std::string& text);

}  // namespace mivet::bridge
