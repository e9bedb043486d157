#include "mcp/registration/directory_lock.h"

#include "common/file_io.h"
#include "common/interrupt_cleanup.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

namespace mivet::mcp {
namespace {

using Clock = std::chrono::system_clock;

// A lock dated further ahead than this was not touched by a holder on this
// clock, and would look fresh for as long as that lasts.
constexpr auto clockSkewAllowed = std::chrono::seconds(1);

// How long ago the lock directory was last touched; negative when its time
// is in the future.
Clock::duration ageOf(const struct stat& info) {
  const FileVersion version = fileVersionOf(info);
  auto touched = Clock::time_point(std::chrono::duration_cast<Clock::duration>(
      std::chrono::seconds(version.modifiedSeconds) +
      std::chrono::nanoseconds(version.modifiedNanoseconds)));
  return Clock::now() - touched;
}

std::string inSeconds(Clock::duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(duration).count());
  return text;
}

[[noreturn]] void failToTake(const std::string& path, const std::string& why) {
  throw std::runtime_error("cannot take the lock " + path + " (" + why +
                           "); nothing was changed; try again");
}

// A file, a link, or a lock dated in the future never becomes stale: waiting
// cannot help, so the user is told at once what is there.
void failIfItWillNotGoAway(const std::string& path, const struct stat& info) {
  std::string what;
  if (S_ISLNK(info.st_mode)) {
    what = "it is a symbolic link, not the folder that a lock is";
  } else if (!S_ISDIR(info.st_mode)) {
    what = S_ISREG(info.st_mode) ? "it is a regular file, not the folder that a lock is"
                                 : "it is not the folder that a lock is";
  } else if (ageOf(info) < -Clock::duration(clockSkewAllowed)) {
    what = "it is dated " + inSeconds(-ageOf(info)) + " in the future";
  } else {
    return;
  }
  throw std::runtime_error("cannot take the lock " + path + ": " + what +
                           ", and it will not go away by itself; if no assistant is running, "
                           "it may be removed; nothing was changed");
}

bool sameLock(const struct stat& a, const struct stat& b) {
  const FileVersion first = fileVersionOf(a), second = fileVersionOf(b);
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
         first.modifiedSeconds == second.modifiedSeconds &&
         first.modifiedNanoseconds == second.modifiedNanoseconds;
}

// Renames `from` to `to` only when nothing is at `to`.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
#if defined(__linux__)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL) return false;  // EINVAL: a file system without the flag
#elif defined(__APPLE__)
  if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0) return true;
  if (errno != ENOTSUP) return false;
#endif
  struct stat info;
  return ::lstat(to.c_str(), &info) != 0 && ::rename(from.c_str(), to.c_str()) == 0;
}

// Moves the stale lock `seen` aside under a name of its own and removes it
// there. Of several waiters that found it stale, one moves it; the others
// find it gone and race for the next mkdir. A waiter that looked before a
// faster one took the lock over moves that one's fresh lock instead: the
// check of what was moved shows it, and the lock is put back. (Only if a
// third program made a lock in that instant can it not be; it is then
// removed like a stale one.)
void takeOverStale(const std::string& path, const struct stat& seen) {
  std::random_device entropy;
  std::string aside =
      path + ".stale-" + std::to_string(::getpid()) + "-" + std::to_string(entropy());
  if (::rename(path.c_str(), aside.c_str()) != 0) {
    if (errno == ENOENT) return;
    failToTake(path,
               "the abandoned lock cannot be moved aside: " + std::string(std::strerror(errno)));
  }
  struct stat moved;
  if (::lstat(aside.c_str(), &moved) == 0 && !sameLock(moved, seen) &&
      renameWithoutReplacing(aside, path)) {
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(aside, ignored);
}

}  // namespace

DirectoryLock::DirectoryLock(std::string path, const LockTiming& timing) : path_(std::move(path)) {
  const auto giveUpAt = std::chrono::steady_clock::now() + timing.giveUpAfter;
  auto pause = timing.firstPause;
  for (;;) {
    if (::mkdir(path_.c_str(), 0777) == 0) {
      held_ = true;
      removeDirectoryOnInterrupt(path_);
      return;
    }
    if (errno == ENOENT) return;
    if (errno != EEXIST) failToTake(path_, std::strerror(errno));
    struct stat info;
    if (::lstat(path_.c_str(), &info) != 0) {
      if (errno == ENOENT) continue;  // released in the meantime
      failToTake(path_, std::strerror(errno));
    }
    failIfItWillNotGoAway(path_, info);
    if (ageOf(info) > timing.staleAfter) {
      takeOverStale(path_, info);
      continue;
    }
    if (std::chrono::steady_clock::now() >= giveUpAt) {
      failToTake(path_, "another program still holds it after " + inSeconds(timing.giveUpAfter));
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, timing.longestPause);
  }
}

DirectoryLock::~DirectoryLock() {
  if (!held_) return;
  // Forgotten first: once removed, the name may be another program's lock.
  forgetOnInterrupt(path_);
  std::ignore = ::rmdir(path_.c_str());
}

}  // namespace mivet::mcp
