#include "MivetBrowserBridge/frame_reader.h"

#include "common/waiting_io.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace mivet::bridge {

bool readExactInto(std::int64_t count, int from, std::string& into) {
  into.clear();
  if (count <= 0) return count == 0;
  const auto wanted = static_cast<std::size_t>(count);
  into.reserve(wanted);
  std::array<char, readScratchBytes> scratch{};
  const std::size_t scratchSize = std::min(wanted, scratch.size());
  while (into.size() < wanted) {
    ssize_t got = readWaiting(from, scratch.data(), std::min(wanted - into.size(), scratchSize));
    if (got <= 0) {
      into.clear();
      return false;
    }
    into.append(scratch.data(), static_cast<std::size_t>(got));
  }
  return true;
}

std::optional<std::string> readExact(std::int64_t count, int from) {
  std::string bytes;
  if (!readExactInto(count, from, bytes)) return std::nullopt;
  return bytes;
}

std::uint32_t decodeFrameLength(std::string_view field) {
  std::uint32_t length = 0;
  if (field.size() == sizeof length) std::memcpy(&length, field.data(), sizeof length);
  return length;
}

}  // namespace mivet::bridge
