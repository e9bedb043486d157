#include "file_io.h"

#include "unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mivet {
namespace {

// Linux and macOS both stop at 40 links in one path lookup; do the same.
constexpr int maxLinkHops = 40;

const char* kindOfNonRegular(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

FileContent notRegular(mode_t mode) {
  return {.outcome = FileContent::Outcome::notRegularFile, .kind = kindOfNonRegular(mode)};
}

FileContent failed(int error) {
  if (error == ENOENT) return {};
  return {.outcome = FileContent::Outcome::failed, .error = error};
}

// Opening a device can have effects of its own (a terminal, a tape), so the
// type is checked before the open; O_NONBLOCK keeps a FIFO put there in
// between from blocking the open, and fstat checks what was really opened.
FileContent openRegular(const std::string& path, UniqueFd& fd, struct stat& info) {
  if (::stat(path.c_str(), &info) != 0) return failed(errno);
  if (!S_ISREG(info.st_mode)) return notRegular(info.st_mode);
  fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return failed(errno);
  if (::fstat(fd.get(), &info) != 0) return failed(errno);
  if (!S_ISREG(info.st_mode)) return notRegular(info.st_mode);
  int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return failed(errno);
  return {.outcome = FileContent::Outcome::read};
}

}  // namespace

FileVersion fileVersionOf(const struct stat& info) {
#ifdef __APPLE__
  const struct timespec& modified = info.st_mtimespec;
  const struct timespec& changed = info.st_ctimespec;
#else
  const struct timespec& modified = info.st_mtim;
  const struct timespec& changed = info.st_ctim;
#endif
  return {.exists = true,
          .device = info.st_dev,
          .inode = info.st_ino,
          .size = info.st_size,
          .modifiedSeconds = modified.tv_sec,
          .modifiedNanoseconds = modified.tv_nsec,
          .changedSeconds = changed.tv_sec,
          .changedNanoseconds = changed.tv_nsec};
}

bool sameFileAndContent(const FileVersion& a, const FileVersion& b) {
  return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modifiedSeconds == b.modifiedSeconds && a.modifiedNanoseconds == b.modifiedNanoseconds;
}

FileVersion currentFileVersion(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? fileVersionOf(info) : FileVersion{};
}

FileContent readRegularFile(const std::string& path, std::size_t maxBytes) {
  UniqueFd fd;
  struct stat info;
  FileContent result = openRegular(path, fd, info);
  if (result.outcome != FileContent::Outcome::read) return result;
  auto size = static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0);
  if (size > maxBytes) return {.outcome = FileContent::Outcome::tooLarge};
  result.version = fileVersionOf(info);
  result.bytes.resize(size);
  std::size_t filled = 0;
  while (filled < size) {
    ssize_t count = ::read(fd.get(), result.bytes.data() + filled, size - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return failed(errno);
    if (count == 0) break;  // the file shrank meanwhile
    filled += static_cast<std::size_t>(count);
  }
  result.bytes.resize(filled);
  return result;
}

std::optional<std::string> readWholeFile(const std::string& path, std::size_t maxBytes) {
  FileContent file = readRegularFile(path, maxBytes);
  if (file.outcome != FileContent::Outcome::read) return std::nullopt;
  return std::move(file.bytes);
}

bool existsFollowingLinks(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::string> finalTargetOf(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop <= maxLinkHops; ++hop) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) return std::nullopt;
    target.resize(static_cast<std::size_t>(length));
    current = target.starts_with('/') ? target : parentDirectoryOf(current) + "/" + target;
  }
  errno = ELOOP;
  return std::nullopt;
}

std::string parentDirectoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int createDirectories(const std::string& directory) {
  struct stat info;
  if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  std::string parent = parentDirectoryOf(directory);
  if (parent != directory) {
    if (int error = createDirectories(parent)) return error;
  }
  if (::mkdir(directory.c_str(), 0777) != 0) {
    int error = errno;
    // Made by someone else in between: as good as made here.
    if (::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return error;
  }
  return 0;
}

}  // namespace mivet
