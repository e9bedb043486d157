#pragma once

#include <chrono>
#include <string>

namespace mivet::mcp {

// How long to wait for a lock directory that someone else holds.
struct LockTiming {
  // A lock whose directory was not touched for this long belongs to a holder
  // that died; it is taken over (moved aside, removed, and made again).
  std::chrono::milliseconds staleAfter{10'000};
  // Waiting ends with a failure after this long.
  std::chrono::milliseconds giveUpAfter{15'000};
  // The first pause between attempts; each following one is twice as long,
  // up to `longestPause`.
  std::chrono::milliseconds firstPause{5};
  std::chrono::milliseconds longestPause{250};
};

// A lock held as the directory `path`, the convention of programs that
// share a file by creating "<file>.lock" with mkdir around each
// read-modify-write and removing it afterwards. Removed again when this goes
// out of scope, on every path.
class DirectoryLock {
 public:
  // Takes the lock, waiting while a live holder has it and taking over a
  // stale one. When the folder that would hold the lock does not exist there
  // is nothing to protect, and nothing is taken. Throws std::runtime_error,
  // naming the lock directory and asking to try again, when the lock is
  // still held after `timing.giveUpAfter`, or when it cannot be made; at once,
  // saying that it will not go away by itself, when what is there is not a
  // directory or is dated in the future.
  DirectoryLock(std::string path, const LockTiming& timing);
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  std::string path_;
  bool held_ = false;
};

}  // namespace mivet::mcp
