#include "app_sim/listening_socket.h"

#include "common/app_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <tuple>
#include <variant>

namespace mivet::sim {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what);
}

std::string systemError() {
  return std::strerror(errno);
}

// Leaves the path free for a new socket, or explains why it cannot.
void clearStaleSocket(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return;  // nothing there
  if (!S_ISSOCK(status.st_mode)) fail(path + " exists and is not a socket; not touching it");
  if (std::holds_alternative<UniqueFd>(connectToAppSocket(path, 1))) {
    fail("another instance is already listening on " + path);
  }
  if (::unlink(path.c_str()) != 0)
    fail("cannot remove the stale socket " + path + ": " + systemError());
}

UniqueFd newListeningSocket(const std::string& path) {
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
  if (!fd.valid()) fail("cannot create a socket: " + systemError());
  std::ignore = ::fcntl(fd.get(), F_SETFD, FD_CLOEXEC);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    fail("cannot bind " + path + ": " + systemError());
  }
  if (::listen(fd.get(), SOMAXCONN) != 0) fail("cannot listen on " + path + ": " + systemError());
  return fd;
}

}  // namespace

ListeningSocket::ListeningSocket(std::string path) : path_(std::move(path)) {
  if (path_.size() + 1 > maxSocketPathBytes) {
    fail("the socket path is " + std::to_string(path_.size()) + " bytes long; at most " +
         std::to_string(maxSocketPathBytes - 1) + " fit");
  }
  auto directory = std::filesystem::path(path_).parent_path();
  std::error_code error;
  if (!directory.empty()) std::filesystem::create_directories(directory, error);
  if (error) fail("cannot create " + directory.string() + ": " + error.message());

  clearStaleSocket(path_);
  fd_ = newListeningSocket(path_);
  struct stat status {};
  if (::stat(path_.c_str(), &status) == 0) {
    device_ = status.st_dev;
    inode_ = status.st_ino;
  }
}

ListeningSocket::~ListeningSocket() {
  struct stat status {};
  if (::lstat(path_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_) {
    std::ignore = ::unlink(path_.c_str());
  }
}

}  // namespace mivet::sim
