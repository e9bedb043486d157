#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mivet::test {

// Descriptors the tests open are closed in every child they start. Linux sets
// the flag as the descriptor is made; elsewhere it follows at once, and the
// spawn helper keeps children from inheriting anything opened in between.

inline int closedOnExec(int fd) {
  if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

inline bool openPipe(int fds[2]) {
#ifdef __linux__
  return ::pipe2(fds, O_CLOEXEC) == 0;
#else
  if (::pipe(fds) != 0) return false;
  closedOnExec(fds[0]);
  closedOnExec(fds[1]);
  return true;
#endif
}

inline int openUnixStreamSocket() {
#ifdef __linux__
  return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
  return closedOnExec(::socket(AF_UNIX, SOCK_STREAM, 0));
#endif
}

inline int acceptConnection(int listenFd) {
#ifdef __linux__
  return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
#else
  return closedOnExec(::accept(listenFd, nullptr, nullptr));
#endif
}

}  // namespace mivet::test
