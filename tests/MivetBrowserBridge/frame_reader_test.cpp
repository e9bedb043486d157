#include "MivetBrowserBridge/frame_reader.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace mivet::bridge {
namespace {

// Both ends of a pipe, closed at the end of the test.
struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int fds[2];
    if (::pipe(fds) == 0) read = fds[0], write = fds[1];
  }
  ~Pipe() {
    closeWriteEnd();
    if (read >= 0) ::close(read);
  }
  void put(const std::string& bytes) const {
    ASSERT_EQ(::write(write, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void closeWriteEnd() {
    if (write >= 0) ::close(write);
    write = -1;
  }
};

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
  return bytes;
}

TEST(BridgeReadExact, CollectsABodyDeliveredInPiecesInOrder) {
  Pipe pipe;
  const std::string body = pattern(5 * 8192 + 123);
  std::thread writer([&] {
    for (std::size_t at = 0; at < body.size(); at += 3000) {
      pipe.put(body.substr(at, 3000));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  auto got = readExact(static_cast<std::int64_t>(body.size()), pipe.read);
  writer.join();
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, body);
}

TEST(BridgeReadExact, LeavesTheBytesAfterTheCountUnread) {
  Pipe pipe;
  pipe.put(std::string("\x05\x00\x00\x00", 4) + "hello" + "next");
  auto field = readExact(4, pipe.read);
  ASSERT_TRUE(field.has_value());
  EXPECT_EQ(decodeFrameLength(*field), 5u);
  EXPECT_EQ(readExact(5, pipe.read), "hello");
  EXPECT_EQ(readExact(4, pipe.read), "next");
}

TEST(BridgeReadExact, EndOfInputBeforeTheCountGivesNothing) {
  Pipe pipe;
  pipe.put("ab");
  pipe.closeWriteEnd();
  EXPECT_EQ(readExact(4, pipe.read), std::nullopt);

  Pipe empty;
  empty.closeWriteEnd();
  EXPECT_EQ(readExact(4, empty.read), std::nullopt);

  EXPECT_EQ(readExact(4, -1), std::nullopt);  // a read error
}

TEST(BridgeReadExact, ACountOfZeroNeverTouchesTheDescriptor) {
  // A read on descriptor -1 would fail; an empty buffer proves none was made.
  EXPECT_EQ(readExact(0, -1), "");
  std::string kept = "old";
  EXPECT_TRUE(readExactInto(0, -1, kept));
  EXPECT_EQ(kept, "");
}

TEST(BridgeReadExact, ReusedBufferIsReplacedAndEmptiedOnFailure) {
  Pipe pipe;
  pipe.put("abcdef");
  std::string buffer(100, 'x');
  ASSERT_TRUE(readExactInto(4, pipe.read, buffer));
  EXPECT_EQ(buffer, "abcd");
  pipe.closeWriteEnd();
  EXPECT_FALSE(readExactInto(4, pipe.read, buffer));
  EXPECT_EQ(buffer, "");
}

#ifdef __linux__
TEST(BridgeReadExact, NoSingleReadAsksForMoreThan8192Bytes) {
  // A packet socket drops whatever a read has no room for, so a read asking
  // for more than 8192 bytes would return the 9000-byte packet whole.
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
  std::string first(9000, 'a'), second(808, 'b');
  ASSERT_EQ(::send(fds[1], first.data(), first.size(), 0), 9000);
  ASSERT_EQ(::send(fds[1], second.data(), second.size(), 0), 808);
  auto got = readExact(9000, fds[0]);
  ::close(fds[0]);
  ::close(fds[1]);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(*got, std::string(8192, 'a') + second);
}
#endif

TEST(BridgeFrameLength, DecodesNativeByteOrder) {
  EXPECT_EQ(decodeFrameLength(std::string("\x05\x00\x00\x00", 4)), 5u);
  EXPECT_EQ(decodeFrameLength(std::string("\x00\x00\x10\x00", 4)), 1048576u);
  EXPECT_EQ(decodeFrameLength(std::string("\x00\x00\x00\x05", 4)), 0x05000000u);
  EXPECT_EQ(decodeFrameLength("\xff\xff\xff\xff"), 0xFFFFFFFFu);
}

TEST(BridgeFrameLength, AcceptsOneToOneMebibyte) {
  EXPECT_FALSE(frameLengthAcceptable(0));
  EXPECT_TRUE(frameLengthAcceptable(1));
  EXPECT_TRUE(frameLengthAcceptable(1048576));
  EXPECT_FALSE(frameLengthAcceptable(1048577));
  EXPECT_FALSE(frameLengthAcceptable(0x05000000));
  EXPECT_FALSE(frameLengthAcceptable(0xFFFFFFFF));
}

}  // namespace
}  // namespace mivet::bridge
