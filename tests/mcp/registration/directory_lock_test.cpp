#include "mcp/registration/directory_lock.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;
using test::TempDir;
using test::thrownMessage;

// Dates the directory `path` `age` ago (in the future when negative).
void setAge(const std::string& path, std::chrono::seconds age) {
  auto then =
      std::chrono::duration_cast<std::chrono::seconds>((Clock::now() - age).time_since_epoch());
  timespec times[2] = {{.tv_sec = then.count(), .tv_nsec = 0},
                       {.tv_sec = then.count(), .tv_nsec = 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::time_t secondsSinceTouched(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return std::time(nullptr) - info.st_mtime;
}

// A lock that is free, released while waited for, or abandoned 20 s ago is
// taken soon after it is free (the pauses between tries stay short), as a
// directory of its own, made afresh; another taker then waits for it and
// gives up after its time; the lock is removed when let go.
TEST(DirectoryLock, LockThatIsOrBecomesFreeIsTakenFreshAndHeldAgainstOthers) {
  const LockTiming waiting{.giveUpAfter = 5s, .firstPause = 1ms, .longestPause = 10ms};
  const LockTiming other{.giveUpAfter = 300ms, .firstPause = 1ms, .longestPause = 20ms};
  enum Holder { nobody, releasedAfter600ms, abandoned20sAgo };
  for (Holder holder : {nobody, releasedAfter600ms, abandoned20sAgo}) {
    TempDir dir;
    const std::string lock = dir.file("config.lock");
    if (holder != nobody) fs::create_directory(lock);
    if (holder == abandoned20sAgo) setAge(lock, 20s);
    std::atomic<std::chrono::steady_clock::time_point> freeAt = std::chrono::steady_clock::now();
    std::thread releaser;
    if (holder == releasedAfter600ms) {
      releaser = std::thread([&] {
        std::this_thread::sleep_for(600ms);
        fs::remove(lock);
        freeAt = std::chrono::steady_clock::now();
      });
    }
    {
      DirectoryLock taken(lock, waiting);
      auto takenAt = std::chrono::steady_clock::now();
      if (releaser.joinable()) releaser.join();
      EXPECT_LT(takenAt - freeAt.load(), 250ms) << holder;
      EXPECT_LT(secondsSinceTouched(lock), 5) << holder;

      auto started = std::chrono::steady_clock::now();
      std::string error = thrownMessage([&] { DirectoryLock second(lock, other); });
      auto waited = std::chrono::steady_clock::now() - started;
      EXPECT_NE(error.find("cannot take the lock " + lock + " (another program still holds it"),
                std::string::npos)
          << error;
      EXPECT_NE(error.find("try again"), std::string::npos) << error;
      EXPECT_GE(waited, other.giveUpAfter) << holder;
      EXPECT_LT(waited, other.giveUpAfter + 2s) << holder;
      EXPECT_TRUE(fs::is_directory(lock))
          << holder;  // the first taker's: not the second's to remove
    }
    EXPECT_FALSE(fs::exists(lock)) << holder;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
  }
}

// Waiting cannot make these go away; the user is told so at once, and what
// is there stays.
TEST(DirectoryLock, WhatWillNeverGoAwayIsReportedAndLeftAsItIs) {
  enum What { regularFile, symbolicLink, datedInTheFuture };
  for (What what : {regularFile, symbolicLink, datedInTheFuture}) {
    TempDir dir;
    const std::string lock = dir.file("config.lock");
    if (what == regularFile) test::writeFile(lock, "");
    if (what == symbolicLink) fs::create_directory_symlink(dir.path(), lock);
    if (what == datedInTheFuture) {
      fs::create_directory(lock);
      setAge(lock, -3600s);
    }
    const char* expected[] = {"it is a regular file", "it is a symbolic link", "it is dated 3"};
    std::string error = thrownMessage([&] { DirectoryLock taken(lock, {.giveUpAfter = 5s}); });
    EXPECT_NE(error.find("cannot take the lock " + lock + ": " + expected[what]), std::string::npos)
        << error;
    EXPECT_NE(
        error.find("will not go away by itself; if no assistant is running, it may be removed"),
        std::string::npos)
        << error;
    EXPECT_TRUE(fs::exists(fs::symlink_status(lock))) << what;
  }
}

}  // namespace
}  // namespace mivet::mcp
