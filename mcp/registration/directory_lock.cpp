#include "mcp/registration/directory_lock.h"

#include "common/file_io.h"
#include "common/interrupt_cleanup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

namespace mivet::mcp {
namespace {

using Clock = std::chrono::system_clock;

// How long ago the lock directory was last touched; nullopt when it is gone.
std::optional<Clock::duration> ageOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  const FileVersion version = fileVersionOf(info);
  auto touched = Clock::time_point(std::chrono::duration_cast<Clock::duration>(
      std::chrono::seconds(version.modifiedSeconds) +
      std::chrono::nanoseconds(version.modifiedNanoseconds)));
  return Clock::now() - touched;
}

std::string inSeconds(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

[[noreturn]] void failToTake(const std::string& path, const std::string& why) {
  throw std::runtime_error("cannot take the lock " + path + " (" + why +
                           "); nothing was changed; try again");
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
    auto age = ageOf(path_);
    if (!age) continue;  // released in the meantime
    // Whoever removes a stale lock first may take it next; losing that race
    // means waiting on like anyone else.
    if (*age > timing.staleAfter && (::rmdir(path_.c_str()) == 0 || errno == ENOENT)) {
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
