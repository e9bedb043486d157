#include "app_socket.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <tuple>

namespace mivet {
namespace {

int newStreamSocket() {
#ifdef SOCK_CLOEXEC
  return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd >= 0) std::ignore = ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
#endif
}

void setTimeouts(int fd, int seconds) {
  timeval timeout{};
  timeout.tv_sec = seconds;
  std::ignore = ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::ignore = ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
#ifdef SO_NOSIGPIPE
  int on = 1;
  std::ignore = ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

#ifdef MSG_NOSIGNAL
constexpr int sendFlags = MSG_NOSIGNAL;
#else
constexpr int sendFlags = 0;  // SO_NOSIGPIPE covers it where MSG_NOSIGNAL is missing
#endif

}  // namespace

std::variant<UniqueFd, ConnectFailure> connectToAppSocket(const std::string& socketPath,
                                                          int timeoutSeconds) {
  if (socketPath.size() + 1 > maxSocketPathBytes) return ConnectFailure::pathTooLong;
  if (socketPath.empty() || socketPath.find('\0') != std::string::npos) {
    return ConnectFailure::connect;
  }
  UniqueFd fd(newStreamSocket());
  if (!fd.valid()) return ConnectFailure::socketCreate;
  setTimeouts(fd.get(), timeoutSeconds);

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
#ifdef __APPLE__
  address.sun_len = sizeof address;
#endif
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);

  int rc;
  do {
    rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  // Linux waits out the send time-out while the listener's backlog is full.
  if (rc != 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT)) {
    return ConnectFailure::timedOut;
  }
  if (rc != 0) return ConnectFailure::connect;
  return fd;
}

std::optional<std::string> exchangeLine(int fd, std::string_view request) {
  std::string received;
  if (!exchangeLineInto(fd, request, received)) return std::nullopt;
  return received;
}

bool exchangeLineInto(int fd, std::string_view request, std::string& received) {
  // One write: the peer reads up to the LF, so a short write shows up as a missing answer.
  std::ignore = ::send(fd, request.data(), request.size(), sendFlags);

  received.clear();
  char chunk[4096];
  for (;;) {
    ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      received.clear();
      return false;
    }
    std::size_t searchFrom = received.size();
    received.append(chunk, static_cast<std::size_t>(count));
    std::size_t lineEnd = received.find('\n', searchFrom);
    if (lineEnd != std::string::npos) {
      received.resize(lineEnd);
      return true;
    }
  }
}

}  // namespace mivet
