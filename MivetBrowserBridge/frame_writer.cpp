#include "MivetBrowserBridge/frame_writer.h"

#include "common/json_writer.h"
#include "common/waiting_io.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <tuple>

namespace mivet::bridge {

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
  // A frame cut short would put the reader out of step for good, so the rest
  // of a short write follows; a write error ends the attempt.
  if (!writeAll(to, std::string_view(field->data(), field->size()))) return;
  std::ignore = writeAll(to, body);
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
