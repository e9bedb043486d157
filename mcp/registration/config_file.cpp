#include "mcp/registration/config_file.h"

#include "common/unique_fd.h"

#include <simdjson.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace mivet::mcp {
namespace {

ConfigFileRead unreadable(const std::string& path, int error) {
  return {.outcome = ConfigFileRead::Outcome::unreadable,
          .problem = "cannot read " + path + ": " + std::strerror(error)};
}

ssize_t readSome(int fd, char* into, std::size_t length) {
  for (;;) {
    ssize_t count = ::read(fd, into, length);
    if (count >= 0 || errno != EINTR) return count;
  }
}

}  // namespace

ConfigFileRead readConfigFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno == ENOENT) return {};
    return unreadable(path, errno);
  }
  struct stat info;
  std::size_t expected = ::fstat(fd.get(), &info) == 0 && info.st_size > 0
                             ? static_cast<std::size_t>(info.st_size)
                             : std::size_t{0};
  ConfigFileRead result{.outcome = ConfigFileRead::Outcome::read};
  // Room for the JSON parser's padding spares it a copy of a large file.
  result.content.reserve(expected + simdjson::SIMDJSON_PADDING);
  result.content.resize(expected);
  std::size_t size = 0;
  while (size < expected) {
    ssize_t count = readSome(fd.get(), result.content.data() + size, expected - size);
    if (count < 0) return unreadable(path, errno);
    if (count == 0) break;
    size += static_cast<std::size_t>(count);
  }
  result.content.resize(size);
  if (size < expected) return result;
  // The file may hold more than stat reported: it is still growing, or its
  // size is unknown to stat (a pipe, a special file).
  char buffer[1 << 16];
  for (;;) {
    ssize_t count = readSome(fd.get(), buffer, sizeof buffer);
    if (count < 0) return unreadable(path, errno);
    if (count == 0) break;
    result.content.append(buffer, static_cast<std::size_t>(count));
  }
  return result;
}

std::string parentDirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void createParentDirectories(const std::string& path) {
  std::string directory = parentDirectoryOf(path);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  // create_directories reports an existing directory (or a link to one) as
  // success, but not every standard library agrees on the error value there.
  struct stat info;
  if (::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  if (!error) error = std::make_error_code(std::errc::not_a_directory);
  throw std::runtime_error("cannot create the directory " + directory + ": " + error.message());
}

}  // namespace mivet::mcp
