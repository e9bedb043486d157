#include "waiting_io.h"

#include "descriptor_wait.h"

#include <errno.h>
#include <unistd.h>

namespace mivet {
namespace {

bool mustWait(int error) {
  return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

ssize_t readWaiting(int fd, void* buffer, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (!mustWait(errno) || !waitUntilReady(fd, POLLIN)) return got;
  }
}

ssize_t writeWaiting(int fd, const void* bytes, std::size_t size) {
  for (;;) {
    ssize_t written = ::write(fd, bytes, size);
    if (written >= 0) return written;
    if (errno == EINTR) continue;
    if (!mustWait(errno) || !waitUntilReady(fd, POLLOUT)) return written;
  }
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = writeWaiting(fd, bytes.data(), bytes.size());
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace mivet
