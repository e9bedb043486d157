#include "stuck_listener.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace mivet::test {
namespace {

sockaddr_un addressOf(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) {
    throw std::invalid_argument("socket path too long for a listener: " + path);
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

}  // namespace

StuckListener::StuckListener(const std::string& socketPath) {
  sockaddr_un address = addressOf(socketPath);
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
      ::listen(listenFd_, 0)) {
    throw std::runtime_error("cannot listen on " + socketPath);
  }
  for (int i = 0; i < 64 && !filled_; ++i) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
        errno == EINPROGRESS) {
      fillers_.push_back(fd);
      continue;
    }
    filled_ = errno == EAGAIN || errno == EWOULDBLOCK;
    ::close(fd);
    if (!filled_) break;
  }
}

StuckListener::~StuckListener() {
  for (int fd : fillers_) ::close(fd);
  ::close(listenFd_);
}

}  // namespace mivet::test
