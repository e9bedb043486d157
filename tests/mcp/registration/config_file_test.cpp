#include "mcp/registration/config_file.h"

#include "common/atomic_file.h"
#include "common/interrupt_cleanup.h"
#include "common/unique_fd.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::TempDir;
using test::thrownMessage;
using test::writeFile;

// Short waits, so that no test waits out the real ones.
constexpr LockTiming quickLock{
    .staleAfter = 10s, .giveUpAfter = 400ms, .firstPause = 1ms, .longestPause = 20ms};

// An edit that appends a line to whatever the file holds.
std::optional<std::string> appendOurs(const ConfigFileRead& file) {
  return file.content + "ours\n";
}

// Another program writes the file between our read and our replace: in place
// (also the same size in the same second), or by renaming a new file (as the
// assistants do) or a link to another file over it or over its link. The
// edit is redone on what is there now, which stays; the old target is left.
TEST(EditConfigFile, ChangeBetweenReadAndReplaceIsReadAgainAndKept) {
  for (std::string row : {"in place", "same size", "by rename", "link by rename", "link moved"}) {
    TempDir dir;
    const std::string path = dir.file("config"), theirs = row == "same size" ? "FIRST\n" : "2\n";
    writeFile(row.starts_with("link") ? dir.file("dot") : path, "first\n");
    if (row.starts_with("link")) fs::create_symlink(dir.file("dot"), path);
    int edits = 0;
    editConfigFile(path, [&](const ConfigFileRead& file) {
      if (++edits > 1) return appendOurs(file);
      const std::string at = row.ends_with("rename") ? dir.file("new")
                             : row == "link moved"   ? dir.file("other")
                                                     : path;
      writeFile(at, theirs);
      // One clock tick later in the same second.
      const timespec times[2] = {
          {.tv_sec = 0, .tv_nsec = UTIME_OMIT},
          {.tv_sec = file.version.modifiedSeconds,
           .tv_nsec = (file.version.modifiedNanoseconds + 1000) % 1'000'000'000}};
      if (row == "same size") ::utimensat(AT_FDCWD, path.c_str(), times, 0);
      if (row == "link moved") fs::create_symlink(at, dir.file("new"));
      if (at != path) fs::rename(dir.file("new"), path);
      return appendOurs(file);
    });
    EXPECT_EQ(edits, 2) << row;
    EXPECT_EQ(readFile(path), theirs + "ours\n") << row;
    EXPECT_EQ(readFile(dir.file("dot")), row.starts_with("link") ? "first\n" : "") << row;
  }
}

TEST(EditConfigFile, FileThatKeepsChangingIsLeftToTheOtherWriter) {
  TempDir dir;
  const std::string path = dir.file("config");
  int edits = 0;
  std::string error = thrownMessage([&] {
    editConfigFile(path,
                   [&](const ConfigFileRead& file) {
                     // Each write of another size: one of the same size in the same
                     // clock tick cannot be told apart.
                     writeFile(path, "theirs " + std::string(++edits, '+') + "\n");
                     return appendOurs(file);
                   },
                   {.attempts = 3});
  });
  EXPECT_EQ(edits, 3);
  EXPECT_NE(error.find(path + " kept changing"), std::string::npos) << error;
  EXPECT_EQ(readFile(path), "theirs +++\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

void setAge(const std::string& path, std::chrono::seconds age) {
  auto then = std::chrono::system_clock::now() - age;
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(then.time_since_epoch());
  timespec times[2] = {{.tv_sec = seconds.count(), .tv_nsec = 0},
                       {.tv_sec = seconds.count(), .tv_nsec = 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The lock directory "<file>.lock" that Claude Code takes around its own
// edits, beside the path as configured, also when that is a link.
TEST(EditConfigFile, LockDirectoryIsWaitedForTakenOverAndAlwaysRemoved) {
  enum Holder { nobody, releasedSoon, neverReleased, linked, staleForTwentySeconds, renameFails };
  for (Holder holder :
       {nobody, releasedSoon, neverReleased, linked, staleForTwentySeconds, renameFails}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(holder == linked ? dir.file("dot/claude.json") : path, "old\n");
    if (holder == linked) fs::create_symlink("dot/claude.json", path);
    if (holder != nobody) fs::create_directory(lock);
    if (holder == staleForTwentySeconds) setAge(lock, 20s);
    std::thread releaser;
    if (holder == releasedSoon || holder == renameFails) {
      releaser = std::thread([&] {
        // The rename fails once the lock is ours: our temporary file is gone.
        if (holder == renameFails) fs::remove(test::entryOnceThere(dir.path(), ".."));
        if (holder == releasedSoon) std::this_thread::sleep_for(100ms);
        fs::remove(lock);
      });
    }
    auto started = std::chrono::steady_clock::now();
    std::string error =
        thrownMessage([&] { editConfigFile(path, appendOurs, {.lock = quickLock}); });
    auto waited = std::chrono::steady_clock::now() - started;
    if (releaser.joinable()) releaser.join();

    if (holder == neverReleased || holder == linked) {
      EXPECT_NE(error.find("cannot take the lock " + lock), std::string::npos) << error;
      EXPECT_NE(error.find("try again"), std::string::npos) << error;
      EXPECT_GE(waited, quickLock.giveUpAfter);
      EXPECT_LT(waited, quickLock.giveUpAfter + 2s);
      EXPECT_EQ(readFile(path), "old\n");
      EXPECT_TRUE(fs::is_directory(lock));  // someone else's: not ours to remove
      continue;
    }
    EXPECT_FALSE(fs::exists(lock)) << holder;
    EXPECT_EQ(readFile(path), holder == renameFails ? "old\n" : "old\nours\n") << holder;
    EXPECT_EQ(error.find("cannot move the temporary file into place") != std::string::npos,
              holder == renameFails)
        << holder << error;
    if (holder == releasedSoon) {
      EXPECT_GE(waited, 100ms);
    }
  }
}

#ifdef __linux__
// The lock is made before the last look at the file and removed only after
// the rename, as the folder's events show.
TEST(EditConfigFile, LockIsHeldFromTheLastCheckToTheRename) {
  TempDir dir;
  writeFile(dir.file("f"), "old\n");
  UniqueFd events(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  ::inotify_add_watch(events.get(), dir.path().c_str(), IN_CREATE | IN_DELETE | IN_MOVED_TO);
  editConfigFile(dir.file("f"), appendOurs, {.lock = quickLock});
  alignas(inotify_event) char buffer[8192];
  std::string seen;
  for (ssize_t at = 0, length = ::read(events.get(), buffer, sizeof buffer); at < length;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    if (std::string_view(event->name) == "f.lock")
      seen += event->mask & IN_CREATE ? "lock " : "unlock ";
    if (std::string_view(event->name) == "f" && event->mask & IN_MOVED_TO) seen += "rename ";
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  EXPECT_EQ(seen, "lock rename unlock ");
}
#endif

// Interrupted while it holds the lock and a temporary file, the process
// removes both and ends by the signal.
TEST(EditConfigFile, InterruptRemovesOurLockAndTemporaryFile) {
  TempDir dir;
  writeFile(dir.file("f"), "old\n");
  const pid_t child = ::fork();
  if (child == 0) {
    removeTemporaryFilesOnInterrupt();
    DirectoryLock lock(dir.file("f.lock"), quickLock);
    PreparedReplacement replacement(dir.file("f"), dir.file("f"), "new\n");
    ::raise(SIGTERM);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace mivet::mcp
