#include "atomic_file.h"

#include "file_io.h"
#include "interrupt_cleanup.h"
#include "unique_fd.h"
#include "waiting_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <tuple>

namespace mivet {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what, int error) {
  std::string message = "cannot write " + path + ": " + what;
  if (error != 0) message += ": " + std::string(std::strerror(error));
  throw std::runtime_error(message);
}

std::string baseNameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileVersion versionAt(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? fileVersionOf(info) : FileVersion{};
}

// Exchanges the files at two names in one step; false, with errno set,
// where the system or the file system cannot, or when either is missing.
bool swapFiles(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0;
#elif defined(__APPLE__)
  return ::renamex_np(from.c_str(), to.c_str(), RENAME_SWAP) == 0;
#else
  errno = ENOTSUP;
  return false;
#endif
}

// Read by setting it and back; a file made meanwhile is only made narrower.
mode_t currentUmask() {
  mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

}  // namespace

// The one owner of "removed unless it was moved into place": created under
// a fresh name with O_EXCL, so nothing else's file is ever opened, and 0600,
// so a temporary copy of a secret is never readable by others.
struct TemporaryFile {
  std::string path;  // empty once it is not ours to remove
  UniqueFd fd;
  FileVersion written;  // once its content is in

  TemporaryFile(const std::string& target, const std::string& reported) {
    std::string name = parentDirectoryOf(target) + "/." + baseNameOf(target) + ".tmp-XXXXXX";
    InterruptsHeldBack heldBack;  // until it is registered for removal
    fd.reset(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd.valid()) {
      fail(reported, "cannot create a temporary file in " + parentDirectoryOf(target), errno);
    }
    path = name;
    removeFileOnInterrupt(path);
  }
  ~TemporaryFile() {
    fd.reset();
    if (!path.empty()) std::ignore = ::unlink(path.c_str());
    forget();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void forget() {
    if (!path.empty()) forgetOnInterrupt(path);
    path.clear();
  }
};

namespace {

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

// The permission bits the new file gets. Only a regular file this process
// may write is replaced: renaming over a file it may not write would take
// the file from its owner, which is the only way a user could lose a file
// that is not theirs in a folder that is.
mode_t modeForReplacing(const std::string& target, const std::string& reported) {
  struct stat info;
  if (::stat(target.c_str(), &info) != 0) return 0666 & ~currentUmask();
  // A device, a FIFO or a directory is not the user's file to replace.
  if (S_ISDIR(info.st_mode)) fail(reported, "it is a directory", 0);
  if (!S_ISREG(info.st_mode)) fail(reported, "it is not a regular file", 0);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    fail(reported, "no permission to write it", errno);
  }
  return info.st_mode & 07777;
}

}  // namespace

PreparedReplacement::PreparedReplacement(const std::string& path, const std::string& target,
                                         std::string_view content)
    : reportedPath_(path), targetPath_(target) {
  const mode_t mode = modeForReplacing(target, path);
  temporary_ = std::make_unique<TemporaryFile>(target, path);
  const int fd = temporary_->fd.get();
  if (::fchmod(fd, mode) != 0) fail(path, "cannot copy the permission bits", errno);
  if (!writeAll(fd, content)) fail(path, "writing the temporary file failed", errno);
  flushToDisk(fd, path);
  struct stat info;
  if (::fstat(fd, &info) == 0) temporary_->written = fileVersionOf(info);
  if (::close(temporary_->fd.release()) != 0) {
    fail(path, "closing the temporary file failed", errno);
  }
}

PreparedReplacement::~PreparedReplacement() = default;

void PreparedReplacement::commit() {
  moveIntoPlace();
  makeDurable();
}

bool PreparedReplacement::moveIntoPlaceIfUnchanged(const FileVersion& expected) {
  // Once swapped, the temporary name may hold another program's file, which
  // an interrupt must not remove.
  InterruptsHeldBack heldBack;
  if (swapFiles(temporary_->path, targetPath_)) return keepSwapIfExpectedCameOut(expected);
  if (currentFileVersion(targetPath_) != expected) return false;
  moveIntoPlace();
  return true;
}

// After the swap the temporary name holds what was in place until then.
bool PreparedReplacement::keepSwapIfExpectedCameOut(const FileVersion& expected) {
  const std::string swapped = temporary_->path;
  if (sameFileAndContent(versionAt(swapped), expected)) {
    std::ignore = ::unlink(swapped.c_str());
    temporary_->forget();
    return true;
  }
  // Another program's version: back in place with it. When ours is no longer
  // there to swap with (a third program renamed over it meanwhile), what
  // comes out is that program's, the latest, and it goes back by rename.
  if (swapFiles(swapped, targetPath_) &&
      sameFileAndContent(versionAt(swapped), temporary_->written)) {
    return false;
  }
  temporary_->forget();
  if (::rename(swapped.c_str(), targetPath_.c_str()) != 0) {
    fail(reportedPath_, "another program's version of it is left at " + swapped, errno);
  }
  return false;
}

void PreparedReplacement::moveIntoPlace() {
  if (::rename(temporary_->path.c_str(), targetPath_.c_str()) != 0) {
    fail(reportedPath_, "cannot move the temporary file into place", errno);
  }
  temporary_->forget();
}

void PreparedReplacement::makeDurable() const {
  flushDirectory(parentDirectoryOf(targetPath_));
}

void replaceFileAtomically(const std::string& path, std::string_view content) {
  const std::optional<std::string> target = finalTargetOf(path);
  if (!target) fail(path, "cannot follow its symbolic links", errno);
  PreparedReplacement(path, *target, content).commit();
}

}  // namespace mivet
