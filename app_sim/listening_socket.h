#pragma once

#include "common/unique_fd.h"

#include <sys/types.h>

#include <string>

namespace mivet::sim {

// A Unix-domain socket listening at a path, which it removes again when it
// goes away (unless another socket has taken the path meanwhile).
class ListeningSocket {
 public:
  // Creates the socket's directory when needed and removes a stale socket
  // file that nobody answers on. Throws std::runtime_error with a readable
  // reason when the path is too long, is taken by something other than a
  // socket, has another server listening, or cannot be bound.
  explicit ListeningSocket(std::string path);
  ~ListeningSocket();
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  UniqueFd fd_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace mivet::sim
