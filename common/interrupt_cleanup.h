#pragma once

#include <csignal>
#include <string>

namespace mivet {

// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT first remove the files and
// directories registered below, then end the process as that signal would
// have: a command stopped in the middle leaves no temporary copy of a
// user's file and no lock of its own behind. A signal the process was
// started with ignored stays ignored.
void removeTemporaryFilesOnInterrupt();

// Registers a path for removal on interrupt, with unlink or with rmdir.
// Only a few paths are held at once; one beyond them, or one too long, is
// not registered (and stays behind if the process is interrupted).
void removeFileOnInterrupt(const std::string& path);
void removeDirectoryOnInterrupt(const std::string& path);

// Takes a path off that list, before it is removed by the program itself or
// when it stops being ours to remove.
void forgetOnInterrupt(const std::string& path);

// Holds those signals back while alive: one that arrives meanwhile is
// handled when this goes out of scope. For steps after which a registered
// path may hold something that is not ours to remove, until they are done.
class InterruptsHeldBack {
 public:
  InterruptsHeldBack();
  ~InterruptsHeldBack();
  InterruptsHeldBack(const InterruptsHeldBack&) = delete;
  InterruptsHeldBack& operator=(const InterruptsHeldBack&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace mivet
