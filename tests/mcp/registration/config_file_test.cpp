#include "mcp/registration/config_file.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

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
TEST(EditConfigFile, LockDirectoryIsWaitedForAndAlwaysRemoved) {
  enum Holder { nobody, releasedSoon, editThrows };
  for (Holder holder : {nobody, releasedSoon, editThrows}) {
    TempDir dir;
    const std::string path = dir.file(".claude.json"), lock = path + ".lock";
    writeFile(path, "old\n");
    std::thread releaser;
    if (holder == releasedSoon) {
      fs::create_directory(lock);
      releaser = std::thread([&] {
        std::this_thread::sleep_for(100ms);
        fs::remove(lock);
      });
    }
    auto started = std::chrono::steady_clock::now();
    std::string error = thrownMessage([&] {
      editConfigFile(path,
                     [&](const ConfigFileRead& file) -> std::optional<std::string> {
                       if (holder == editThrows) throw std::runtime_error("cannot edit");
                       return appendOurs(file);
                     },
                     {.lock = quickLock});
    });
    auto waited = std::chrono::steady_clock::now() - started;
    if (releaser.joinable()) releaser.join();

    EXPECT_FALSE(fs::exists(lock)) << holder;
    EXPECT_EQ(readFile(path), holder == editThrows ? "old\n" : "old\nours\n") << holder;
    EXPECT_EQ(error.empty(), holder != editThrows) << holder << error;
    if (holder == releasedSoon) {
      EXPECT_GE(waited, 100ms);
    }
  }
}

// Another program's lock that stays: the edit gives up and changes nothing.
TEST(EditConfigFile, LockThatStaysHeldLeavesTheFileAsItWas) {
  TempDir dir;
  const std::string path = dir.file(".claude.json");
  writeFile(path, "old\n");
  fs::create_directory(path + ".lock");
  std::string error = thrownMessage([&] { editConfigFile(path, appendOurs, {.lock = quickLock}); });
  EXPECT_NE(error.find("cannot take the lock " + path + ".lock"), std::string::npos) << error;
  EXPECT_EQ(readFile(path), "old\n");
}

}  // namespace
}  // namespace mivet::mcp
