#include "common/waiting_io.h"

#include "common/unique_fd.h"
#include "tests/support/close_on_exec.h"
#include "tests/support/sleeping_in.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

namespace mivet {
namespace {

struct NonBlockingPipe {
  UniqueFd read, write;
};

NonBlockingPipe nonBlockingPipe() {
  int fds[2];
  if (!test::openPipe(fds)) throw std::runtime_error("pipe failed");
  for (int fd : fds) ::fcntl(fd, F_SETFL, O_NONBLOCK);
  return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Writes until the pipe takes no more; returns how much went in.
std::size_t fillUntilFull(int fd) {
  const std::string filler(4096, 'f');
  std::size_t total = 0;
  for (ssize_t n; (n = ::write(fd, filler.data(), filler.size())) > 0;) {
    total += static_cast<std::size_t>(n);
  }
  EXPECT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
  return total;
}

// Runs `io` on a thread of its own, waits until it sleeps in poll (it has
// found the pipe not ready), then runs `unblock` and returns what `io` gave.
template <typename Io>
auto afterItWaits(Io io, const std::function<void()>& unblock) {
  std::promise<pid_t> thread;
  auto result = std::async(std::launch::async, [&] {
    thread.set_value(test::currentThreadId());
    return io();
  });
  EXPECT_TRUE(
      test::waitUntilSleepingIn(test::BlockingCall::poll, ::getpid(), thread.get_future().get()))
      << "it did not wait for the pipe";
  unblock();
  return result.get();
}

TEST(WaitingIo, ReadsAndWritesWaitOnANonBlockingPipe) {
  NonBlockingPipe pipe = nonBlockingPipe();
  std::string got(5, '\0');
  ssize_t read = afterItWaits([&] { return readWaiting(pipe.read.get(), got.data(), got.size()); },
                              [&] { ASSERT_EQ(::write(pipe.write.get(), "hello", 5), 5); });
  EXPECT_EQ(read, 5);
  EXPECT_EQ(got, "hello");

  std::size_t filler = fillUntilFull(pipe.write.get());
  const std::string payload(300000, 'p');
  std::string drained;
  auto writeAndClose = [&] {
    bool all = writeAll(pipe.write.get(), payload);
    pipe.write.reset();
    return all;
  };
  bool written = afterItWaits(writeAndClose, [&] {
    char chunk[65536];
    for (ssize_t n; (n = readWaiting(pipe.read.get(), chunk, sizeof chunk)) > 0;) {
      drained.append(chunk, static_cast<std::size_t>(n));
    }
  });
  EXPECT_TRUE(written);
  EXPECT_EQ(drained.size(), filler + payload.size());
  EXPECT_TRUE(drained == std::string(filler, 'f') + payload) << "the bytes came out changed";
}

}  // namespace
}  // namespace mivet
