#include "MivetBrowserBridge/frame_writer.h"

#include "common/json_writer.h"
#include "common/waiting_io.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace mivet::bridge {
namespace {

// Writes all of `bytes` with as few write calls as the descriptor allows: one,
// unless the kernel takes less (a pipe caps single writes near 2 GiB). A frame
// cut short would put the reader out of step for good, so the rest follows;
// an error ends the attempt.
void writeWhole(int to, const char* bytes, std::size_t size) {
  while (size > 0) {
    ssize_t written = writeWaiting(to, bytes, size);
    if (written <= 0) return;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

}  // namespace

std::optional<std::array<char, 4>> encodeFrameLength(std::size_t bodyBytes) {
  if (bodyBytes > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  const auto length = static_cast<std::uint32_t>(bodyBytes);
  std::array<char, 4> field;
  std::memcpy(field.data(), &length, sizeof length);
  return field;
}

void writeFrame(std::string_view body, int to) {
  auto field = encodeFrameLength(body.size());
  if (!field) return;
  writeWhole(to, field->data(), field->size());
  writeWhole(to, body.data(), body.size());
}

void writeNativeMessage(simdjson::dom::object message, std::string& buffer, int to) {
  buffer.clear();
  JsonWriter writer(buffer);
  writer.element(message);
  if (writer.failed()) return;
  writeFrame(buffer, to);
}

void writeNativeMessage(simdjson::dom::object message, int to) {
  std::string buffer;
  writeNativeMessage(message, buffer, to);
}

}  // namespace mivet::bridge
