#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace mivet {

// read(2) on `fd`, retried when a signal interrupts it, and waiting until
// data or the end arrives when the descriptor was handed over non-blocking
// (a client may do that to standard input). Returns what read(2) returns.
ssize_t readWaiting(int fd, void* buffer, std::size_t size);

// write(2) on `fd`, likewise retried, and waiting for room when the
// descriptor is non-blocking and full. Returns what write(2) returns.
ssize_t writeWaiting(int fd, const void* bytes, std::size_t size);

// Writes all of `bytes` to `fd` with writeWaiting, in as few calls as the
// descriptor allows. False when a write fails (errno says why) or takes
// nothing; what was written before that stays written.
bool writeAll(int fd, std::string_view bytes);

}  // namespace mivet
