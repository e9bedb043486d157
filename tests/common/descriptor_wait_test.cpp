#include "common/descriptor_wait.h"

#include "common/unique_fd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace mivet {
namespace {

// poll(2) as macOS answers it for a terminal: at once, POLLNVAL.
int pollAnsweringInvalid(pollfd* entries, nfds_t count, int /*timeout*/) {
  for (nfds_t i = 0; i < count; ++i) entries[i].revents = POLLNVAL;
  return static_cast<int>(count);
}

bool readyNow(int fd, short events) {
  pollfd entry{fd, events, 0};
  return ::poll(&entry, 1, 0) == 1 && (entry.revents & events) != 0;
}

struct Pipe {
  UniqueFd readEnd, writeEnd;
  Pipe() {
    int fds[2] = {-1, -1};
    EXPECT_EQ(::pipe(fds), 0);
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  }
};

void fill(int fd) {
  char block[4096] = {};
  while (::write(fd, block, sizeof block) > 0) {
  }
}

void drain(int fd) {
  char block[4096];
  while (::read(fd, block, sizeof block) > 0) {
  }
}

// Where poll cannot watch a descriptor, the wait must still last until it is
// ready: returning at once would make the caller's read or write loop spin.
TEST(WaitUntilReady, WaitsWithSelectWherePollAnswersInvalid) {
  for (short events : {POLLIN, POLLOUT}) {
    SCOPED_TRACE(events == POLLIN ? "until data arrives" : "until room appears");
    Pipe pipe;
    if (events == POLLOUT) fill(pipe.writeEnd.get());
    int fd = events == POLLIN ? pipe.readEnd.get() : pipe.writeEnd.get();
    ASSERT_FALSE(readyNow(fd, events));
    std::thread other([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (events == POLLIN) {
        EXPECT_EQ(::write(pipe.writeEnd.get(), "x", 1), 1);
      } else {
        drain(pipe.readEnd.get());
      }
    });
    EXPECT_TRUE(waitUntilReady(fd, events, pollAnsweringInvalid));
    EXPECT_TRUE(readyNow(fd, events));
    other.join();
  }
}

// Waits in a child that an alarm ends after 5 s, so that a wait that never
// returns fails the test then. The status is 0 when the wait failed.
int waitStatusInChild(int fd) {
  pid_t child = ::fork();
  if (child == 0) {
    ::alarm(5);
    ::_exit(waitUntilReady(fd, POLLIN, pollAnsweringInvalid) ? 1 : 0);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  return status;
}

TEST(WaitUntilReady, FailsForWhatSelectCannotWatch) {
  int closed = Pipe().readEnd.get();
  EXPECT_FALSE(waitUntilReady(closed, POLLIN, pollAnsweringInvalid));
  EXPECT_EQ(waitStatusInChild(FD_SETSIZE), 0);
}

}  // namespace
}  // namespace mivet
