#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A fast path for JSON that a strict parser has already accepted: rather than
// writing the parsed values back out through JsonWriter, copy the text in long
// runs and rewrite only what the writer would write differently (white space
// between tokens, "/" inside strings, \u escapes). The result is the writer's
// compact output, byte for byte. Where the copy cannot be sure of that (a
// number that is not a plain integer of up to 18 digits, an escaped
// surrogate), it gives up and the caller uses the writer.

namespace mivet::bridge {

// Appends to `out` the compact text of the one JSON value at the start of
// `validJson`, exactly as JsonWriter's compact style writes it once parsed.
// Text after the value is ignored. False, with `out` as it was, when the copy
// gives up.
bool appendCompactCopy(std::string& out, std::string_view validJson);

// The length of the one JSON value at the start of `validJson` when that text
// is already exactly what JsonWriter's compact style would write for it (so it
// can be used as it is); nullopt when it would be written differently or the
// copy would give up.
std::optional<std::size_t> compactAsWrittenLength(std::string_view validJson);

// Offset in `validObject` (the text of a valid JSON object) of the value of
// its first member named `key`. nullopt when there is no such member, or when
// a member name up to it is written with escapes and so cannot be compared as
// text.
std::optional<std::size_t> memberValueOffset(std::string_view validObject, std::string_view key);

}  // namespace mivet::bridge
