#include "mcp/registration/stable_command_path.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::thrownMessage;
using test::writeFile;

void makeExecutable(const std::string& path) {
  writeFile(path, "#!/bin/sh\n");
  ::chmod(path.c_str(), 0755);
}

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_ino;
}

TEST(SelfExecutablePath, RelativePathIsMadeAbsoluteNormalisedAndResolved) {
  TempDir dir;
  const std::string root = fs::canonical(dir.path());
  makeExecutable(root + "/real/mivet-mcp");
  fs::create_directories(root + "/work/sub");
  fs::create_directory_symlink(root + "/real", root + "/work/linked");
  EXPECT_EQ(selfExecutablePath("./sub/../linked/./mivet-mcp", "", root + "/work"),
            root + "/real/mivet-mcp");
  EXPECT_EQ(selfExecutablePath(root + "/work/linked//mivet-mcp", "/nowhere", "/"),
            root + "/real/mivet-mcp");
  // A path that does not exist is only normalised.
  EXPECT_EQ(selfExecutablePath("a/./b/../c", "", root), root + "/a/c");
}

TEST(SelfExecutablePath, BareNameIsSearchedInPathLikeTheShellDoes) {
  TempDir dir;
  const std::string root = fs::canonical(dir.path());
  writeFile(root + "/first/mivet-mcp", "not executable");
  makeExecutable(root + "/second/mivet-mcp");
  makeExecutable(root + "/third/mivet-mcp");
  fs::create_directories(root + "/dironly/mivet-mcp");
  std::string path = root + "/missing:" + root + "/first:" + root + "/dironly:" + root +
                     "/second:" + root + "/third";
  EXPECT_EQ(selfExecutablePath("mivet-mcp", path, "/"), root + "/second/mivet-mcp");
  // An empty entry is the working directory; a name found nowhere stays there.
  EXPECT_EQ(selfExecutablePath("mivet-mcp", "/nowhere::" + root + "/third", root + "/second"),
            root + "/second/mivet-mcp");
  EXPECT_EQ(selfExecutablePath("mivet-mcp", "/nowhere", root), root + "/mivet-mcp");
}

struct StableHome {
  TempDir dir;
  std::string root = fs::canonical(dir.path());
  std::string stable = root + "/Library/Application Support/Mivet/bin/mivet-mcp";

  std::string install(const std::string& invocation) {
    return stableCommandPathLinkedTo(selfExecutablePath(invocation, "", root), root);
  }
};

TEST(StableSelfCommandPath, LinkIsMadeKeptAndMovedWithTheExecutable) {
  StableHome home;
  makeExecutable(home.root + "/v1/mivet-mcp");
  EXPECT_EQ(home.install(home.root + "/v1/mivet-mcp"), home.stable);
  ASSERT_TRUE(fs::is_symlink(home.stable));
  EXPECT_EQ(fs::read_symlink(home.stable), home.root + "/v1/mivet-mcp");

  ino_t link = inodeOf(home.stable);
  EXPECT_EQ(home.install(home.root + "/v1/mivet-mcp"), home.stable);
  EXPECT_EQ(home.install(home.stable), home.stable);  // started through the link
  EXPECT_EQ(inodeOf(home.stable), link);

  makeExecutable(home.root + "/v2/mivet-mcp");
  EXPECT_EQ(home.install(home.root + "/v2/mivet-mcp"), home.stable);
  EXPECT_EQ(fs::read_symlink(home.stable), home.root + "/v2/mivet-mcp");
}

TEST(StableSelfCommandPath, WhateverElseIsThereIsReplacedByALink) {
  StableHome home;
  makeExecutable(home.root + "/v1/mivet-mcp");
  for (bool relativeLink : {false, true}) {
    fs::remove_all(home.root + "/Library");
    if (relativeLink) {
      fs::create_directories(fs::path(home.stable).parent_path());
      fs::create_symlink("../../../../v1/mivet-mcp", home.stable);  // same file, other spelling
    } else {
      writeFile(home.stable + "/inside", "a directory with content");
    }
    EXPECT_EQ(home.install(home.root + "/v1/mivet-mcp"), home.stable);
    ASSERT_TRUE(fs::is_symlink(home.stable));
    EXPECT_EQ(fs::read_symlink(home.stable), home.root + "/v1/mivet-mcp");
  }
}

TEST(StableSelfCommandPath, ExecutableAtTheStablePathItselfIsLeftAlone) {
  StableHome home;
  makeExecutable(home.stable);
  EXPECT_EQ(home.install(home.stable), home.stable);
  EXPECT_FALSE(fs::is_symlink(home.stable));
}

TEST(StableSelfCommandPath, NonExecutableSelfChangesNothing) {
  StableHome home;
  writeFile(home.root + "/plain/mivet-mcp", "no execute bit");
  EXPECT_EQ(home.install(home.root + "/plain/mivet-mcp"), home.root + "/plain/mivet-mcp");
  EXPECT_FALSE(fs::exists(home.root + "/Library"));

  writeFile(home.stable, "something");
  EXPECT_EQ(home.install(home.root + "/plain/mivet-mcp"), home.stable);
  EXPECT_EQ(test::readFile(home.stable), "something");
}

// Registering a path that does not run this program would name a command
// that fails in the assistant without a word; the install fails instead,
// naming the path and the step that failed. (A folder there that holds the
// program: CommandLine.ProgramAtTheStablePathNeverRemovesItself.)
TEST(StableSelfCommandPath, PathThatCannotBeMadeToLeadToTheProgramFails) {
  StableHome home;
  writeFile(home.root + "/Library", "a file where a folder belongs");
  makeExecutable(home.root + "/v1/mivet-mcp");
  std::string error = thrownMessage([&] { home.install(home.root + "/v1/mivet-mcp"); });
  EXPECT_NE(error.find(home.stable), std::string::npos) << error;
  EXPECT_NE(error.find("making the folder " + home.root + "/Library/"), std::string::npos) << error;
  EXPECT_NE(error.find("Mivet/bin failed: Not a directory"), std::string::npos) << error;
}

// Another copy of the program, installing at the same moment, may link the
// stable path last: that still runs a mivet-mcp. A link to anything else fails.
TEST(StableSelfCommandPath, LinkThatAnotherCopyMadeMeanwhileIsKept) {
  StableHome home;
  fs::create_directories(fs::path(home.stable).parent_path());
  for (std::string theirs : {"/v2/mivet-mcp", "/v3/other"}) {
    makeExecutable(home.root + theirs);
    fs::remove(home.stable);
    fs::create_symlink(home.root + theirs, home.stable);
    std::string error = thrownMessage(
        [&] { checkedStableCommandPath(home.stable, home.root + "/v1/mivet-mcp", {}); });
    EXPECT_EQ(error.empty(), theirs == "/v2/mivet-mcp") << error;
  }
}

}  // namespace
}  // namespace mivet::mcp
