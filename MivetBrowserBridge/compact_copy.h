#pragma once

#include "common/json_text_walk.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Why this exists: every frame body and every answer of the application
// passes through the bridge as JSON text that must come out exactly as
// JsonWriter writes it. Parsing such text into values and writing them back
// costs a tree of values next to the text and a second walk over them, which
// for the large frames (up to 1 MiB) shows in time and in memory
// (bench/bridge_bench measures both ways). So the text is walked once
// instead (common/json_text_walk.h), its grammar checked on the way, and copied in long runs,
// rewriting only what the writer writes differently (white space between tokens, "/" inside
// strings, \u escapes), or taken as it is when nothing needs rewriting (message_text.h,
// app_forwarding.cpp).
//
// What the walk vouches for, when it returns a length: the text is one JSON
// value that the strict parser accepts, and the copy is the writer's compact
// output for it, byte for byte. The text must be valid UTF-8; the callers
// check that first (isValidUtf8).
//
// What it leaves to the parser: it gives up, and the caller parses the text
// and lets the parser and the writer decide, on anything it cannot vouch for:
// text that is not JSON (which the parser then refuses), a number other
// than a plain integer of up to 18 digits, an escaped surrogate, more than
// maxJsonDepth levels of objects and arrays.
//
// What holds it to that: tests/MivetBrowserBridge/compact_copy_test.cpp
// compares the copy with JsonWriter's output for the parsed text on
// thousands of random documents (AgreesWithTheWriterOnRandomDocuments) and
// checks that it never vouches for text the parser refuses
// (NeverVouchesForTextTheParserRefuses); it runs once with the SSE2 scan and
// once with the portable one (bridge_portable_scan_tests), and
// fuzz/bridge_frames_fuzzer.cpp feeds it arbitrary frames.

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

}  // namespace mivet::bridge
