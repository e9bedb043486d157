#include "descriptor_wait.h"

#include <errno.h>
#include <sys/select.h>

namespace mivet {
namespace {

bool selectUntilReady(int fd, short events) {
  if (fd < 0 || fd >= FD_SETSIZE) return false;
  const bool reading = (events & POLLIN) != 0;
  for (;;) {
    fd_set watched;
    FD_ZERO(&watched);
    FD_SET(fd, &watched);
    int ready = ::select(fd + 1, reading ? &watched : nullptr, reading ? nullptr : &watched,
                         nullptr, nullptr);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool waitUntilReady(int fd, short events, PollFunction pollCall) {
  pollfd entry{fd, events, 0};
  for (;;) {
    int ready = pollCall(&entry, 1, -1);
    if (ready > 0 && (entry.revents & POLLNVAL) != 0) return selectUntilReady(fd, events);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace mivet
