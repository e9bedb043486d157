#pragma once

#include <simdjson.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace mivet {

// Documents whose arrays and objects nest deeper than this are rejected as
// invalid JSON.
inline constexpr std::size_t maxJsonDepth = 512;

// A parser for parseJsonObject, which enforces maxJsonDepth. Reuse one across
// many documents on a hot path; elements it returns stay valid until its next
// parse.
std::unique_ptr<simdjson::dom::parser> newJsonParser();

// Parses `text` strictly (valid UTF-8, one value, nothing but white space
// after it) and returns its top-level object; nullopt when the text is not
// JSON or its top-level value is not an object.
std::optional<simdjson::dom::object> parseJsonObject(simdjson::dom::parser& parser,
                                                     std::string_view text);

// A parsed document that owns its storage, so it can be returned and moved
// while its elements stay valid.
struct JsonDocument {
  std::unique_ptr<simdjson::dom::parser> parser;
  simdjson::dom::object root;
};

// Like parseJsonObject, with a parser of the document's own.
std::optional<JsonDocument> parseJsonDocument(std::string_view text);

// An empty JSON object, for params that were absent or not an object.
simdjson::dom::object emptyJsonObject();

// Member lookups that answer nullopt when the member is absent or of another type.
std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key);
std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key);

}  // namespace mivet
