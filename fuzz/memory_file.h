#pragma once

// In-memory files for the fuzzers, so that loops written for descriptors can
// read fuzz input and write their output without touching the disk. Linux only.
#include "common/unique_fd.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <tuple>

namespace mivet::fuzz {

// A descriptor that reads back `content` from its start.
inline UniqueFd memoryFile(std::string_view content) {
  UniqueFd fd(memfd_create("fuzz", 0));
  if (!content.empty()) std::ignore = ::write(fd.get(), content.data(), content.size());
  ::lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

// Everything written to `fd` so far.
inline std::string contentOf(int fd) {
  std::string out;
  ::lseek(fd, 0, SEEK_SET);
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  return out;
}

}  // namespace mivet::fuzz
