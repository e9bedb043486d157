#include "common/descriptor_wait.h"

#include "common/unique_fd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <chrono>
#include <functional>
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
    int fds[2];
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
  struct Row {
    const char* name;
    short events;
    bool onWriteEnd;
    std::function<void(Pipe&)> before, later;
  };
  const Row rows[] = {
      {"data arrives", POLLIN, false, [](Pipe&) {},
       [](Pipe& pipe) { ASSERT_EQ(::write(pipe.writeEnd.get(), "x", 1), 1); }},
      {"room appears", POLLOUT, true, [](Pipe& pipe) { fill(pipe.writeEnd.get()); },
       [](Pipe& pipe) { drain(pipe.readEnd.get()); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Pipe pipe;
    row.before(pipe);
    int fd = row.onWriteEnd ? pipe.writeEnd.get() : pipe.readEnd.get();
    ASSERT_FALSE(readyNow(fd, row.events));
    std::thread other([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      row.later(pipe);
    });
    EXPECT_TRUE(waitUntilReady(fd, row.events, pollAnsweringInvalid));
    EXPECT_TRUE(readyNow(fd, row.events));
    other.join();
  }
}

TEST(WaitUntilReady, FailsForWhatSelectCannotWatch) {
  int closed = Pipe().readEnd.get();
  EXPECT_FALSE(waitUntilReady(closed, POLLIN, pollAnsweringInvalid));
  EXPECT_FALSE(waitUntilReady(FD_SETSIZE, POLLIN, pollAnsweringInvalid));
}

}  // namespace
}  // namespace mivet
