#include "mcp/registration/config_file.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
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
// (a size and time change) or by renaming a new file over it (a new inode),
// as the assistants do. The edit is redone on what it wrote, which stays.
TEST(EditConfigFile, ChangeBetweenReadAndReplaceIsReadAgainAndKept) {
  for (bool byRename : {false, true}) {
    TempDir dir;
    const std::string path = dir.file("config");
    writeFile(path, "first\n");
    int edits = 0;
    editConfigFile(path, [&](const ConfigFileRead& file) {
      if (++edits == 1) {
        writeFile(byRename ? path + ".new" : path, "first\ntheirs\n");
        if (byRename) fs::rename(path + ".new", path);
      }
      return appendOurs(file);
    });
    EXPECT_EQ(edits, 2) << byRename;
    EXPECT_EQ(readFile(path), "first\ntheirs\nours\n") << byRename;
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

// The lock directory "<file>.lock" that Claude Code takes around its own edits.
TEST(EditConfigFile, LockDirectoryIsAlwaysRemoved) {
  enum Holder { nobody, editThrows };
  for (Holder holder : {nobody, editThrows}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(path, "old\n");
    std::string error = thrownMessage([&] {
      editConfigFile(path,
                     [&](const ConfigFileRead& file) -> std::optional<std::string> {
                       if (holder == editThrows) throw std::runtime_error("cannot edit");
                       return appendOurs(file);
                     },
                     {.lock = quickLock});
    });
    EXPECT_FALSE(fs::exists(lock)) << holder;
    EXPECT_EQ(readFile(path), holder == editThrows ? "old\n" : "old\nours\n") << holder;
    EXPECT_EQ(error.empty(), holder != editThrows) << holder << error;
  }
}

// A lock that another program keeps, or one that will never go away (a file,
// a link, a time in the future: the user is told so at once): the edit is
// refused and changes nothing.
TEST(EditConfigFile, LockThatCannotBeTakenLeavesEverythingAsItWas) {
  const std::string forever =
      "will not go away by itself; if no assistant is running, it may be removed";
  for (std::string held : {" (another program still holds it", ": it is a regular file",
                           ": it is a symbolic link", ": it is dated 3"}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(path, "old\n");
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
      EXPECT_LT(fs::file_time_type::clock::now() - fs::last_write_time(lock), 5s) << holder;
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

}  // namespace
}  // namespace mivet::mcp
