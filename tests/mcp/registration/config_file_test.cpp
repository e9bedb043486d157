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

#include <atomic>
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

// The lock directory "<file>.lock" that Claude Code takes around its own
// edits is removed after the rename, also after a rename that failed (the
// temporary file went missing while another program held the lock).
TEST(EditConfigFile, LockDirectoryIsAlwaysRemoved) {
  enum Holder { nobody, renameFails };
  for (Holder holder : {nobody, renameFails}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(path, "old\n");
    if (holder == renameFails) fs::create_directory(lock);
    std::thread other([&] {
      if (holder != renameFails) return;
      fs::remove(test::entryOnceThere(dir.path(), ".."));
      fs::remove(lock);
    });
    std::string error =
        thrownMessage([&] { editConfigFile(path, appendOurs, {.lock = quickLock}); });
    other.join();
    EXPECT_FALSE(fs::exists(lock)) << holder;
    EXPECT_EQ(readFile(path), holder == renameFails ? "old\n" : "old\nours\n") << holder;
    EXPECT_EQ(error.find("cannot move the temporary file into place") != std::string::npos,
              holder == renameFails)
        << holder << error;
  }
}

// A lock that another program keeps, or one that will never go away (a file,
// a link, a time in the future: the user is told so at once): the edit is
// refused and changes nothing. The lock is beside the path as configured,
// here a link to a dotfiles folder, not beside the link's target.
TEST(EditConfigFile, LockThatCannotBeTakenLeavesEverythingAsItWas) {
  const std::string forever =
      "will not go away by itself; if no assistant is running, it may be removed";
  for (std::string held : {" (another program still holds it", ": it is a regular file",
                           ": it is a symbolic link", ": it is dated 3"}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(dir.file("dot/claude.json"), "old\n");
    fs::create_symlink("dot/claude.json", path);
    if (held == ": it is a regular file") writeFile(lock, "");
    if (held == ": it is a symbolic link") fs::create_directory_symlink(dir.path(), lock);
    if (held.starts_with(" (") || held == ": it is dated 3") fs::create_directory(lock);
    if (held == ": it is dated 3") fs::last_write_time(lock, fs::file_time_type::clock::now() + 1h);
    std::string error =
        thrownMessage([&] { editConfigFile(path, appendOurs, {.lock = quickLock}); });
    EXPECT_NE(error.find("cannot take the lock " + lock + held), std::string::npos) << error;
    EXPECT_EQ(error.find(forever) == std::string::npos, held.starts_with(" (")) << error;
    EXPECT_EQ(readFile(path), "old\n");
    EXPECT_TRUE(fs::exists(fs::symlink_status(lock))) << held;
  }
}

// Free, released while waited for, or abandoned 20 s ago: the lock is taken
// soon after it is free (the pauses between tries stay short) and made
// afresh; another taker then waits and gives up after its time.
TEST(DirectoryLock, LockThatIsOrBecomesFreeIsTakenFreshAndHeldAgainstOthers) {
  using Steady = std::chrono::steady_clock;
  enum Holder { nobody, releasedAfter600ms, abandoned20sAgo };
  for (Holder holder : {nobody, releasedAfter600ms, abandoned20sAgo}) {
    TempDir dir;
    const std::string lock = dir.file("config.lock");
    if (holder != nobody) fs::create_directory(lock);
    if (holder == abandoned20sAgo)
      fs::last_write_time(lock, fs::file_time_type::clock::now() - 20s);
    std::atomic<Steady::time_point> freeAt = Steady::now();
    std::thread releaser([&] {
      if (holder != releasedAfter600ms) return;
      std::this_thread::sleep_for(600ms);
      fs::remove(lock);
      freeAt = Steady::now();
    });
    {
      DirectoryLock taken(lock, {.giveUpAfter = 5s, .firstPause = 1ms, .longestPause = 10ms});
      auto takenAt = Steady::now();
      releaser.join();
      EXPECT_LT(takenAt - freeAt.load(), 250ms) << holder;
      EXPECT_TRUE(fs::file_time_type::clock::now() - fs::last_write_time(lock) < 5s) << holder;
      std::string error =
          thrownMessage([&] { DirectoryLock second(lock, {.giveUpAfter = 300ms}); });
      EXPECT_GE(Steady::now() - takenAt, 300ms) << holder;
      EXPECT_NE(error.find("cannot take the lock " + lock + " (another program still holds it"),
                std::string::npos)
          << error;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << holder;
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
