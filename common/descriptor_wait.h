#pragma once

#include <poll.h>

namespace mivet {

// poll(2), or what a test puts in its place.
using PollFunction = int (*)(pollfd*, nfds_t, int);

// Blocks until `fd` is ready for `events` (POLLIN or POLLOUT), waiting again
// when a signal interrupts. Where `pollCall` answers POLLNVAL, as macOS's
// poll(2) does for a terminal, select(2) waits instead. False when waiting
// fails, as it does for a closed descriptor or, in select's case, for one of
// FD_SETSIZE or more.
bool waitUntilReady(int fd, short events, PollFunction pollCall = ::poll);

}  // namespace mivet
