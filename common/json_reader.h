#pragma once

#include <simdjson.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Reading JSON, for every part of the project. Any valid JSON text (RFC 8259)
// is accepted, including what the parser cannot hold as it is; such values
// come back in a form the writer turns back into the same text:
// - a number that no 64-bit integer or double can hold (12345678901234567890123,
//   1e400, and 1e-400, whose digits are not all zero but which a double
//   rounds to zero) is a string element whose first byte is 0xFF, followed by
//   the number exactly as written (see stringContent);
// - a string with an escaped surrogate that has no partner ("\ud800", what a
//   string cut inside an emoji turns into) holds that surrogate in its 3-byte
//   generalized UTF-8 form (ED A0 80), which the writer escapes back.

namespace mivet {

// Documents whose arrays and objects nest deeper than this are rejected as
// invalid JSON.
inline constexpr std::size_t maxJsonDepth = 512;

// A reusable parser. Elements it returns stay valid until its next parse.
struct JsonParser {
  // Stops at maxJsonDepth levels as the parser counts them (a value inside
  // the innermost container is a level of its own), which accepts only texts
  // within the limit and refuses a few that are within it.
  std::unique_ptr<simdjson::dom::parser> shallow;
  // Made on first need: for the texts `shallow` finds too deep, checked
  // exactly, and for the texts that need rewriting first.
  std::unique_ptr<simdjson::dom::parser> exact;
};

// A parser for parseJsonObject. Reuse one across many documents on a hot path.
std::unique_ptr<JsonParser> newJsonParser();

// Parses `text` strictly (valid UTF-8, one value, nothing but white space
// after it, at most maxJsonDepth levels) and returns its top-level object;
// nullopt when the text is not JSON or its top-level value is not an object.
std::optional<simdjson::dom::object> parseJsonObject(JsonParser& parser, std::string_view text);

// parseJsonObject without copying `text` when its capacity leaves
// simdjson::SIMDJSON_PADDING bytes after its end.
std::optional<simdjson::dom::object> parseJsonObjectInPlace(JsonParser& parser,
                                                            const std::string& text);

// Whether the parser's buffers grew past a few MiB for a large document.
bool holdsLargeBuffers(const JsonParser& parser);

// Gives the memory of a parser that grew past a few MiB back to the system;
// elements it returned are no longer valid afterwards.
void releaseLargeBuffers(JsonParser& parser);

// A parsed document that owns its storage, so it can be returned and moved
// while its elements stay valid.
struct JsonDocument {
  std::unique_ptr<JsonParser> parser;
  simdjson::dom::object root;
};

// Like parseJsonObject, with a parser of the document's own.
std::optional<JsonDocument> parseJsonDocument(std::string_view text);

// An empty JSON object, for params that were absent or not an object.
simdjson::dom::object emptyJsonObject();

// What a string element holds: text, or the number text of a number that no
// 64-bit integer or double holds.
struct StringContent {
  std::string_view text;
  bool isRawNumber = false;
};

// The content of `stringElement`, which must be of type STRING. Code outside
// the reader reads strings through this or jsonString, never straight from
// the element, which would take a raw number for text (scripts/check.sh).
inline StringContent stringContent(simdjson::dom::element stringElement) {
  std::string_view text = stringElement.get_string().value_unsafe();
  if (!text.empty() && text.front() == '\xFF') return {text.substr(1), true};
  return {text, false};
}

// The string of a string element; nullopt for every other element, raw
// numbers included.
std::optional<std::string_view> jsonString(simdjson::dom::element value);

// Member lookups that answer nullopt when the member is absent or of another type.
std::optional<std::string_view> stringMember(simdjson::dom::object object, std::string_view key);
std::optional<simdjson::dom::object> objectMember(simdjson::dom::object object,
                                                  std::string_view key);

}  // namespace mivet
