#include "file_io.h"

#include "unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace mivet {

std::optional<std::string> readWholeFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) return content;
    content.append(buffer, static_cast<std::size_t>(count));
  }
}

}  // namespace mivet
