#include "atomic_file.h"

#include "file_io.h"
#include "unique_fd.h"
#include "waiting_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace mivet {
namespace {

// Linux and macOS both stop at 40 links in one path lookup; do the same.
constexpr int maxLinkHops = 40;

[[noreturn]] void fail(const std::string& path, const std::string& what, int error) {
  std::string message = "cannot write " + path + ": " + what;
  if (error != 0) message += ": " + std::string(std::strerror(error));
  throw std::runtime_error(message);
}

std::string baseNameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows a chain of symbolic links at `path` to the file that finally holds
// the content, which may not exist yet (a dangling link names where it goes).
// Replacing that file keeps the user's links in place.
std::string finalTarget(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop <= maxLinkHops; ++hop) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
    ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) fail(path, "cannot read the symbolic link " + current, errno);
    target.resize(static_cast<std::size_t>(length));
    current = target.starts_with('/') ? target : parentDirectoryOf(current) + "/" + target;
  }
  fail(path, "too many levels of symbolic links", ELOOP);
}

// A temporary file that is removed again unless it was renamed into place.
struct TemporaryFile {
  std::string path;
  UniqueFd fd;
  bool keep = false;

  TemporaryFile() = default;
  TemporaryFile(TemporaryFile&& other) noexcept
      : path(std::exchange(other.path, {})), fd(std::move(other.fd)), keep(other.keep) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    fd.reset();
    if (!keep && !path.empty()) std::ignore = ::unlink(path.c_str());
  }
};

// Created with O_EXCL under a random name, so nothing else's file is ever
// opened, and with `mode` from the start: a temporary copy of a 0600 file
// must never be readable by others, not even before its bits are set.
TemporaryFile createTemporaryNextTo(const std::string& target, mode_t mode,
                                    const std::string& reported) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::string prefix = parentDirectoryOf(target) + "/." + baseNameOf(target) + ".tmp-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryFile temporary;
    std::string candidate = prefix + std::to_string(random() % 1000000000000ULL);
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      temporary.path = candidate;
      temporary.fd.reset(fd);
      return temporary;
    }
    if (errno != EEXIST) {
      fail(reported, "cannot create a temporary file in " + parentDirectoryOf(target), errno);
    }
  }
  fail(reported, "cannot find a free temporary file name in " + parentDirectoryOf(target), EEXIST);
}

// The umask may have narrowed the mode given at creation. Set before any
// content goes in.
void restorePermissionBits(int fd, const struct stat* old, const std::string& reported) {
  if (old != nullptr && ::fchmod(fd, old->st_mode & 07777) != 0) {
    fail(reported, "cannot copy the permission bits", errno);
  }
}

void flushToDisk(int fd, const std::string& reported) {
#ifdef F_FULLFSYNC
  // On macOS fsync only hands the data to the drive, whose cache may still
  // lose it on power failure; F_FULLFSYNC asks the drive to flush as well.
  // Some file systems (network, FAT) refuse it, and fsync is the best left then.
  if (::fcntl(fd, F_FULLFSYNC) == 0) return;
#endif
  if (::fsync(fd) != 0) fail(reported, "flushing the temporary file failed", errno);
}

// Makes the rename itself durable; a directory that cannot be opened or
// synced (some file systems refuse) does not undo the replacement.
void flushDirectory(const std::string& directory) {
  UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) std::ignore = ::fsync(fd.get());
}

// The final target of `path` and what is there now. Only a regular file
// this process may write is replaced: renaming over a file it may not write
// would take the file from its owner, which is the only way a user could
// lose a file that is not theirs in a folder that is.
struct ReplaceTarget {
  std::string path;
  bool exists = false;
  struct stat info {};
};

ReplaceTarget replaceTargetOf(const std::string& path) {
  ReplaceTarget target{.path = finalTarget(path)};
  target.exists = ::stat(target.path.c_str(), &target.info) == 0;
  if (!target.exists) return target;
  // A device, a FIFO or a directory is not the user's file to replace.
  if (S_ISDIR(target.info.st_mode)) fail(path, "it is a directory", 0);
  if (!S_ISREG(target.info.st_mode)) fail(path, "it is not a regular file", 0);
  if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
    fail(path, "no permission to write it", errno);
  }
  return target;
}

}  // namespace

PreparedReplacement::PreparedReplacement(const std::string& path, std::string_view content,
                                         const TemporaryFileObserver& observer)
    : reportedPath_(path) {
  const ReplaceTarget target = replaceTargetOf(path);
  mode_t mode = target.exists ? (target.info.st_mode & 0777) : 0666;
  TemporaryFile temporary = createTemporaryNextTo(target.path, mode, path);
  if (observer) observer(temporary.path);
  restorePermissionBits(temporary.fd.get(), target.exists ? &target.info : nullptr, path);
  if (!writeAll(temporary.fd.get(), content)) {
    fail(path, "writing the temporary file failed", errno);
  }
  flushToDisk(temporary.fd.get(), path);
  if (::close(temporary.fd.release()) != 0) fail(path, "closing the temporary file failed", errno);
  targetPath_ = target.path;
  temporaryPath_ = std::exchange(temporary.path, {});
}

PreparedReplacement::~PreparedReplacement() {
  if (!temporaryPath_.empty()) std::ignore = ::unlink(temporaryPath_.c_str());
}

void PreparedReplacement::commit() {
  moveIntoPlace();
  makeDurable();
}

bool PreparedReplacement::moveIntoPlaceIfUnchanged(const FileVersion& expected) {
  if (currentFileVersion(targetPath_) != expected) return false;
  moveIntoPlace();
  return true;
}

void PreparedReplacement::moveIntoPlace() {
  if (::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
    fail(reportedPath_, "cannot move the temporary file into place", errno);
  }
  temporaryPath_.clear();
}

void PreparedReplacement::makeDurable() const {
  flushDirectory(parentDirectoryOf(targetPath_));
}

void replaceFileAtomically(const std::string& path, std::string_view content) {
  PreparedReplacement(path, content).commit();
}

}  // namespace mivet
