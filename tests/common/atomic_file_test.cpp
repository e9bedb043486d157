#include "common/atomic_file.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace mivet {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::thrownMessage;
using test::writeFile;

mode_t permissionBits(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::size_t entryCount(const std::string& directory) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(directory)) ++count;
  return count;
}

TEST(AtomicFile, NewFileGetsItsWholeContentAndUmaskDefault) {
  TempDir dir;
  std::string content(8 * 1024 * 1024 + 7, 'a');
  for (std::size_t i = 0; i < content.size(); i += 4093)
    content[i] = static_cast<char>('0' + i % 10);
  mode_t previous = ::umask(022);
  replaceFileAtomically(dir.file("new.json"), content);
  ::umask(previous);
  EXPECT_EQ(readFile(dir.file("new.json")), content);
  EXPECT_EQ(permissionBits(dir.file("new.json")), 0644u);
  EXPECT_EQ(entryCount(dir.path()), 1u);  // no temporary file left behind
}

// The mode is the old file's: never wider while the temporary copy waits to
// be moved into place (a secret readable by others), and exact once
// replaced, whatever the umask narrowed, set-id bits included.
TEST(AtomicFile, ReplacingKeepsTheExactModeAndNeverWidensIt) {
  mode_t previous = ::umask(022);
  for (mode_t mode : {0600, 0640, 0664, 04755}) {
    TempDir dir;
    const std::string path = dir.file("config.json");
    writeFile(path, "old content that is longer");
    ::chmod(path.c_str(), mode);
    PreparedReplacement replacement(path, path, "");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(permissionBits(entry.path()) & ~mode, 0u) << std::oct << mode << entry.path();
    }
    replacement.commit();
    EXPECT_EQ(permissionBits(path), mode) << std::oct << mode;
    EXPECT_EQ(fs::file_size(path), 0u);
  }
  ::umask(previous);
}

// Relative links are resolved against the folder of the link that holds them.
TEST(AtomicFile, SymbolicLinkChainStaysAndFinalTargetIsReplaced) {
  struct Link {
    std::string at, to;
  };
  for (const auto& chain : std::vector<std::vector<Link>>{
           {{"home/config.toml", "middle"}, {"home/middle", "../dotfiles/config.toml"}},
           {{"a/link1", "../b/link2"}, {"b/link2", "config.toml"}},
       }) {
    TempDir dir;
    const std::string target =
        dir.file(chain[0].at.starts_with("home") ? "dotfiles/config.toml" : "b/config.toml");
    writeFile(target, "old");
    for (const Link& link : chain) {
      fs::create_directories(fs::path(dir.file(link.at)).parent_path());
      fs::create_symlink(link.to, dir.file(link.at));
    }
    replaceFileAtomically(dir.file(chain[0].at), "new");
    for (const Link& link : chain) {
      EXPECT_EQ(fs::read_symlink(dir.file(link.at)), link.to) << link.at;
    }
    EXPECT_EQ(readFile(target), "new") << chain[0].at;
    EXPECT_EQ(entryCount(fs::path(target).parent_path()), chain[0].at == "a/link1" ? 2u : 1u);
  }
}

// Another program's rename between the read and the commit wins, also one
// after the last look before the commit: a swap brings it out again and puts
// it back. Nothing of ours stays in its place, and no temporary file stays.
TEST(AtomicFile, CommitIfUnchangedLeavesAFileChangedMeanwhile) {
  TempDir dir;
  const std::string path = dir.file("config.json");
  writeFile(path, "read");
  const FileVersion read = currentFileVersion(path);
  {
    PreparedReplacement ours(path, path, "ours");
    writeFile(path + ".theirs", "theirs");
    fs::rename(path + ".theirs", path);
    EXPECT_FALSE(ours.moveIntoPlaceIfUnchanged(read));
  }
  EXPECT_EQ(readFile(path), "theirs");
  EXPECT_EQ(entryCount(dir.path()), 1u);
  {
    PreparedReplacement ours(dir.file("new.json"), dir.file("new.json"), "ours");
    EXPECT_TRUE(ours.moveIntoPlaceIfUnchanged(FileVersion{}));  // still absent
  }
  EXPECT_EQ(readFile(dir.file("new.json")), "ours");
}

TEST(AtomicFile, DanglingLinkCreatesItsTarget) {
  TempDir dir;
  fs::create_symlink(dir.file("real.json"), dir.file("link.json"));
  replaceFileAtomically(dir.file("link.json"), "x");
  EXPECT_TRUE(fs::is_symlink(dir.file("link.json")));
  EXPECT_EQ(readFile(dir.file("real.json")), "x");
}

TEST(AtomicFile, FailuresNameTheFileAndLeaveNoTrace) {
  TempDir dir;
  // Missing directory.
  std::string missing = dir.file("nowhere/config.json");
  std::string error = thrownMessage([&] { replaceFileAtomically(missing, "x"); });
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir.file("nowhere")));

  // A directory where the file should be.
  fs::create_directories(dir.file("taken"));
  error = thrownMessage([&] { replaceFileAtomically(dir.file("taken"), "x"); });
  EXPECT_NE(error.find(dir.file("taken")), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(dir.file("taken")));

  // A FIFO, reached through a link: neither replaced nor opened.
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  fs::create_symlink(dir.file("fifo"), dir.file("link"));
  error = thrownMessage([&] { replaceFileAtomically(dir.file("link"), "x"); });
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_fifo(dir.file("fifo")));

  // A loop of links, which stay.
  fs::create_symlink("b", dir.file("a"));
  fs::create_symlink("a", dir.file("b"));
  error = thrownMessage([&] { replaceFileAtomically(dir.file("a"), "x"); });
  EXPECT_NE(error.find(dir.file("a")), std::string::npos) << error;
  EXPECT_EQ(entryCount(dir.path()), 5u);
}

TEST(AtomicFile, ReadOnlyDirectoryLeavesOldFileIntact) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  TempDir dir;
  writeFile(dir.file("ro/config.json"), "old");
  ::chmod(dir.file("ro").c_str(), 0555);
  std::string error =
      thrownMessage([&] { replaceFileAtomically(dir.file("ro/config.json"), "new"); });
  ::chmod(dir.file("ro").c_str(), 0755);
  EXPECT_NE(error.find(dir.file("ro/config.json")), std::string::npos) << error;
  EXPECT_EQ(readFile(dir.file("ro/config.json")), "old");
  EXPECT_EQ(entryCount(dir.file("ro")), 1u);
}

}  // namespace
}  // namespace mivet
