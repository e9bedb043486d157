#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A fast path for JSON text: instead of parsing it into values and writing
// them back out through JsonWriter, walk the text once, checking its grammar
// on the way, and copy it in long runs, rewriting only what the writer would
// write differently (white space between tokens, "/" inside strings, \u
// escapes). The result is the writer's compact output, byte for byte. The walk
// gives up on anything it cannot vouch for: text that is not JSON, a number
// other than a plain integer of up to 18 digits, an escaped surrogate, more
// than maxJsonDepth levels of objects and arrays. The caller then parses the
// text and lets the parser and the writer decide. Text must be valid UTF-8.

namespace mivet::bridge {

// Appends to `out` the compact text of the JSON value that starts at
// `text[at]` (white space before it is skipped), with at most `levels` levels
// of objects and arrays. Returns the offset just past the value; nullopt, with
// `out` as it was, when the walk gives up.
std::optional<std::size_t> appendCompactValue(std::string& out, std::string_view text,
                                              std::size_t at = 0, std::size_t levels = 512);

// Checks the JSON value at the start of `text` without copying it: its length
// when the text is already exactly what JsonWriter's compact style writes for
// it, nullopt when it would be written differently or the walk gives up.
std::optional<std::size_t> compactValueLength(std::string_view text);

// Checks the JSON value that starts at `text[at]` without copying it; the
// offset just past it, or nullopt when the walk gives up.
std::optional<std::size_t> skipValidValue(std::string_view text, std::size_t at,
                                          std::size_t levels);

// The offset of the first byte from `at` that is not JSON white space.
std::size_t skipJsonSpace(std::string_view text, std::size_t at);

}  // namespace mivet::bridge
