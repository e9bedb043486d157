#pragma once

#include <simdjson.h>

#include <unistd.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mivet::bridge {

// The 4-byte length field, in native byte order, for a body of `bodyBytes`;
// nullopt when 32 bits cannot hold that count (4 GiB or more).
std::optional<std::array<char, 4>> encodeFrameLength(std::size_t bodyBytes);

// Writes `body` as one frame to `to`: the length field in one write, then the
// body in one write. A body too large for the length field is dropped without
// writing anything; write failures are ignored.
void writeFrame(std::string_view body, int to = STDOUT_FILENO);

// Serialises `message` as compact JSON into `buffer` (its old content is
// replaced, its capacity kept) and writes it as one frame to `to`. A message
// that cannot be serialised is dropped: nothing at all is written.
void writeNativeMessage(simdjson::dom::object message, std::string& buffer, int to = STDOUT_FILENO);

// writeNativeMessage with a buffer of its own; drops, as it does, a message
// that cannot be serialised.
void writeNativeMessage(simdjson::dom::object message, int to = STDOUT_FILENO);

}  // namespace mivet::bridge
