#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mivet::bridge {

// Longest body accepted on an incoming frame (1 MiB). Outgoing frames have no bound.
inline constexpr std::uint32_t maxMessageBytes = 1048576;

// Bytes read per read(2) call, at most.
inline constexpr std::size_t readScratchBytes = 8192;

// Reads exactly `count` bytes from `from` into `into`, replacing its content
// and keeping its capacity. False, with `into` emptied, on end of input or any
// read error before all bytes arrived; a count of 0 succeeds without reading.
bool readExactInto(std::int64_t count, int from, std::string& into);

// Exactly `count` bytes from `from`; nullopt on end of input or a read error
// before all of them arrived. A count of 0 gives "" without reading.
std::optional<std::string> readExact(std::int64_t count, int from);

// The 4 bytes of a length field as an unsigned integer in native byte order;
// 0 when `field` does not hold exactly 4 bytes.
std::uint32_t decodeFrameLength(std::string_view field);

// Whether an incoming frame of `length` body bytes is accepted: 1..maxMessageBytes.
constexpr bool frameLengthAcceptable(std::uint32_t length) {
  // One unsigned test: 0 wraps round to the largest value.
  return static_cast<std::uint32_t>(length - 1) < maxMessageBytes;
}

}  // namespace mivet::bridge
