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

// Gives the empty temporary file the old file's owner, group and permission
// bits before any content goes in. Only root may give a file away (the
// replacement would otherwise be root's, under sudo, and the user could no
// longer read their own file); a new file gets the owner of its directory.
// The bits are set after the owner, as a change of owner clears set-id bits.
void takeOverAttributes(int fd, const struct stat* old, const std::string& directory,
                        const std::string& reported) {
  if (::geteuid() == 0) {
    struct stat owner;
    if (old != nullptr) {
      owner = *old;
    } else if (::stat(directory.c_str(), &owner) != 0) {
      fail(reported, "cannot look at the directory " + directory, errno);
    }
    if (::fchown(fd, owner.st_uid, owner.st_gid) != 0) {
      fail(reported, "cannot give the temporary file the owner of the file it replaces", errno);
    }
  }
  // The umask may have narrowed the mode given at creation.
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

}  // namespace

void replaceFileAtomically(const std::string& path, std::string_view content) {
  const std::string target = finalTarget(path);
  struct stat old;
  bool existed = ::stat(target.c_str(), &old) == 0;
  // A device, a FIFO or a directory is not the user's file to replace.
  if (existed && S_ISDIR(old.st_mode)) fail(path, "it is a directory", 0);
  if (existed && !S_ISREG(old.st_mode)) fail(path, "it is not a regular file", 0);

  const std::string directory = parentDirectoryOf(target);
  mode_t mode = existed ? (old.st_mode & 0777) : 0666;
  TemporaryFile temporary = createTemporaryNextTo(target, mode, path);
  takeOverAttributes(temporary.fd.get(), existed ? &old : nullptr, directory, path);
  if (!writeAll(temporary.fd.get(), content))
    fail(path, "writing the temporary file failed", errno);
  flushToDisk(temporary.fd.get(), path);
  if (::close(temporary.fd.release()) != 0) fail(path, "closing the temporary file failed", errno);
  if (::rename(temporary.path.c_str(), target.c_str()) != 0) {
    fail(path, "cannot move the temporary file into place", errno);
  }
  temporary.keep = true;
  flushDirectory(directory);
}

}  // namespace mivet
