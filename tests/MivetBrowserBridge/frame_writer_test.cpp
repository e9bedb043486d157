#include "MivetBrowserBridge/frame_writer.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <limits>

namespace mivet::bridge {
namespace {

// Everything written to a pipe by `write`, read on another thread so large
// frames cannot fill the pipe and block.
template <typename Write>
std::string captured(Write write) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  auto reader = std::async(std::launch::async, [fd = fds[0]] {
    std::string out;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
  });
  write(fds[1]);
  ::close(fds[1]);
  std::string out = reader.get();
  ::close(fds[0]);
  return out;
}

std::string frameOf(const std::string& json) {
  auto document = parseJsonDocument(json);
  if (!document) return "not a JSON object";
  return captured([&](int fd) { writeNativeMessage(document->root, fd); });
}

TEST(BridgeWriteNativeMessage, WritesTheLengthInNativeOrderThenTheCompactBody) {
  std::string frame = frameOf(R"({ "ok" : true, "result" : [ 1, 22 ] })");
  const std::string body = R"({"ok":true,"result":[1,22]})";
  ASSERT_EQ(body.size(), 27u);
  EXPECT_EQ(frame, std::string("\x1B\x00\x00\x00", 4) + body);
}

TEST(BridgeWriteNativeMessage, KeepsMemberOrderAndEscapesAsTheAppRequestsDo) {
  std::string frame = frameOf(
      "{\"url\":\"https://a.example/x\",\"title\":\"Caf\\u00e9 \\\"q\\\"\",\"tab\":\"a\\tb\","
      "\"n\":1.5,\"none\":null}");
  EXPECT_EQ(frame.substr(4),
            "{\"url\":\"https:\\/\\/a.example\\/x\",\"title\":\"Caf\xC3\xA9 \\\"q\\\"\","
            "\"tab\":\"a\\tb\",\"n\":1.5,\"none\":null}");
}

TEST(BridgeWriteNativeMessage, WritesALargeMessageWholeWithItsTrueLength) {
  const std::string text(2 * 1024 * 1024, 'x');
  std::string frame = frameOf("{\"result\":\"" + text + "\"}");
  const std::string body = "{\"result\":\"" + text + "\"}";
  std::uint32_t length = 0;
  ASSERT_GE(frame.size(), 4u);
  std::memcpy(&length, frame.data(), 4);
  EXPECT_EQ(length, body.size());
  EXPECT_TRUE(frame.substr(4) == body);
}

TEST(BridgeWriteNativeMessage, ReusesTheCallersBufferAcrossMessages) {
  auto first = parseJsonDocument(R"({"a":"long enough to need the heap, surely"})");
  auto second = parseJsonDocument(R"({"b":2})");
  std::string buffer;
  std::string frames = captured([&](int fd) {
    writeNativeMessage(first->root, buffer, fd);
    writeNativeMessage(second->root, buffer, fd);
  });
  EXPECT_EQ(buffer, R"({"b":2})");
  EXPECT_EQ(frames.substr(frames.size() - 11), std::string("\x07\x00\x00\x00", 4) + R"({"b":2})");
}

TEST(BridgeFrameLengthField, RefusesBodiesThatThirtyTwoBitsCannotDescribe) {
  constexpr std::size_t largest = std::numeric_limits<std::uint32_t>::max();
  auto field = encodeFrameLength(largest);
  ASSERT_TRUE(field.has_value());
  EXPECT_EQ(std::string(field->data(), 4), "\xff\xff\xff\xff");
  EXPECT_EQ(encodeFrameLength(largest + 1), std::nullopt);
  EXPECT_EQ(encodeFrameLength(std::size_t{5} << 32), std::nullopt);
  EXPECT_EQ(std::string(encodeFrameLength(0)->data(), 4), std::string(4, '\0'));
}

}  // namespace
}  // namespace mivet::bridge
