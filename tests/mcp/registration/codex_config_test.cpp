#include "mcp/registration/codex_config.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string command = "/h/Library/Application Support/Mivet/bin/mivet-mcp";
const std::string section =
    "[mcp_servers.mivet]\n"
    "command = \"/h/Library/Application Support/Mivet/bin/mivet-mcp\"\n"
    "args = []\n";

template <typename Edit>
std::string errorOf(Edit edit) {
  try {
    edit();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

// The file must be TOML that a real parser reads, with the registered command.
void expectParsedCommand(const std::string& path, const std::string& expected = command) {
  toml::table table;
  try {
    table = toml::parse(readFile(path));
  } catch (const toml::parse_error& error) {
    FAIL() << error.description() << "\n" << readFile(path);
  }
  EXPECT_EQ(table["mcp_servers"]["mivet"]["command"].value_or(std::string()), expected);
  EXPECT_EQ(table["mcp_servers"]["mivet"]["args"].as_array()->size(), 0u);
}

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_ino;
}

TEST(UpsertCodexMCP, NewFileInNewDirectoryHoldsExactlyTheSection) {
  TempDir home;
  std::string path = home.file(".codex/config.toml");
  upsertCodexMCP(path, command);
  EXPECT_EQ(readFile(path), section);
  expectParsedCommand(path);
}

TEST(UpsertCodexMCP, OneEmptyLineSeparatesTheRestAndRepeatsChangeNothing) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, "model = \"o3\"\n\n\n");
  upsertCodexMCP(path, command);
  EXPECT_EQ(readFile(path), "model = \"o3\"\n\n" + section);
  upsertCodexMCP(path, command);
  EXPECT_EQ(readFile(path), "model = \"o3\"\n\n" + section);
  expectParsedCommand(path);
}

TEST(UpsertCodexMCP, AnotherCommandReplacesTheSectionAtTheEnd) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path,
            "  [mcp_servers.mivet]\t \ncommand = \"/old\"\n\n[mcp_servers.mivet.env]\nA = "
            "\"1\"\n\n[other]\nx = 1\n");
  upsertCodexMCP(path, "/new \"q\" \\b");
  EXPECT_EQ(
      readFile(path),
      "[other]\nx = 1\n\n[mcp_servers.mivet]\ncommand = \"/new \\\"q\\\" \\\\b\"\nargs = []\n");
  expectParsedCommand(path, "/new \"q\" \\b");
}

TEST(UpsertCodexMCP, CrLfFileWithoutTheSectionStaysValid) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, "model = \"o3\"\r\n[tools]\r\nweb = true\r\n");
  upsertCodexMCP(path, command);
  EXPECT_EQ(readFile(path), "model = \"o3\"\r\n[tools]\r\nweb = true\r\n\n" + section);
  expectParsedCommand(path);
}

// Forms of the server's table that the line edit cannot see: appending
// another definition would break the whole file, so the install refuses.
TEST(UpsertCodexMCP, RefusesToTurnValidTomlIntoInvalid) {
  for (std::string content : {
           "[mcp_servers.mivet] # mine\ncommand = \"/old\"\nargs = []\n",
           "[mcp_servers.mivet]\r\ncommand = \"/old\"\r\nargs = []\r\n",
           "[ mcp_servers.mivet ]\ncommand = \"/old\"\n",
           "[mcp_servers.\"mivet\"]\ncommand = \"/old\"\n",
           "mcp_servers = { mivet = { command = \"/old\" } }\n",
           "[mcp_servers]\nmivet = { command = \"/old\" }\n",
       }) {
    TempDir home;
    std::string path = home.file("config.toml");
    writeFile(path, content);
    std::string error = errorOf([&] { upsertCodexMCP(path, command); });
    EXPECT_NE(error.find(path), std::string::npos) << content;
    EXPECT_NE(error.find("invalid TOML"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), content);
  }
}

TEST(UpsertCodexMCP, FileThatWasNotTomlIsStillEditedLineByLine) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, "this is = = not toml\n");
  upsertCodexMCP(path, command);
  EXPECT_EQ(readFile(path), "this is = = not toml\n\n" + section);
}

TEST(UpsertCodexMCP, UnusableFileOrDirectoryFailsNamingItAndLosesNothing) {
  TempDir home;
  std::string path = home.file("config.toml");
  std::string notUtf8 = "# caf\xE9\nmodel = \"o3\"\n";
  writeFile(path, notUtf8);
  std::string error = errorOf([&] { upsertCodexMCP(path, command); });
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(readFile(path), notUtf8);

  fs::create_directories(home.file("dir.toml"));
  error = errorOf([&] { upsertCodexMCP(home.file("dir.toml"), command); });
  EXPECT_NE(error.find(home.file("dir.toml")), std::string::npos) << error;

  writeFile(home.file(".codex"), "a plain file");
  error = errorOf([&] { upsertCodexMCP(home.file(".codex/config.toml"), command); });
  EXPECT_NE(error.find(home.file(".codex")), std::string::npos) << error;
  EXPECT_EQ(readFile(home.file(".codex")), "a plain file");
}

TEST(UpsertCodexMCP, ControlCharactersInTheCommandAreEscaped) {
  TempDir home;
  std::string path = home.file("config.toml");
  std::string awkward = "/odd\ndir/\x1B[0m/mivet-mcp";
  upsertCodexMCP(path, awkward);
  expectParsedCommand(path, awkward);
}

TEST(UpsertCodexMCP, KeepsPermissionBits) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, "a = 1\n");
  ::chmod(path.c_str(), 0640);
  upsertCodexMCP(path, command);
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(RemoveCodexMCP, SectionAloneLeavesAnEmptyFile) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, section + "\n\n");
  removeCodexMCP(path);
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(RemoveCodexMCP, KeepsTheRestWithOneFinalLineFeed) {
  TempDir home;
  std::string path = home.file("config.toml");
  writeFile(path, "a = 1\n\n" + section + "[b]\nc = 2\n\n\n");
  removeCodexMCP(path);
  EXPECT_EQ(readFile(path), "a = 1\n\n[b]\nc = 2\n");

  // The header text only inside a comment: rewritten, trailing blank lines normalised.
  writeFile(path, "# see [mcp_servers.mivet]\na = 1\n\n\n");
  removeCodexMCP(path);
  EXPECT_EQ(readFile(path), "# see [mcp_servers.mivet]\na = 1\n");
}

TEST(RemoveCodexMCP, LeavesFilesItCannotOrNeedNotEditUntouched) {
  TempDir home;
  std::string path = home.file("config.toml");
  for (std::string content :
       {"a = 1\n\n\n", "[mcp_servers.mivet.env]x\xFF\n[mcp_servers.mivet]\n"}) {
    writeFile(path, content);
    ino_t before = inodeOf(path);
    removeCodexMCP(path);
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(inodeOf(path), before);
  }
  removeCodexMCP(home.file("missing/config.toml"));
  EXPECT_FALSE(fs::exists(home.file("missing")));
}

TEST(RemoveCodexMCP, RefusesToTurnValidTomlIntoInvalid) {
  TempDir home;
  std::string path = home.file("config.toml");
  // The line edit sees "[other]" inside a multi-line string as a table.
  std::string content = "[mcp_servers.mivet]\ncommand = \"\"\"\n[other]\n\"\"\"\n";
  ASSERT_NO_THROW(std::ignore = toml::parse(content));
  writeFile(path, content);
  std::string error = errorOf([&] { removeCodexMCP(path); });
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(readFile(path), content);
}

// A header line inside a multi-line string is text, not a table: cutting it
// out would change that string, so both edits refuse and keep every byte.
TEST(CodexEdits, RefuseToChangeAValueOutsideTheirTable) {
  for (std::string content : {
           "instructions = '''\nRegister with\n[mcp_servers.mivet]\ncommand = \"x\"\n"
           "[done]\n'''\n",
           "[mcp_servers.mivet]\ncommand = \"/old\"\n[notes]\ntext = \"\"\"\n"
           "[mcp_servers.mivet]\nkept = 1\n[end]\n\"\"\"\n",
       }) {
    ASSERT_NO_THROW(std::ignore = toml::parse(content)) << content;
    for (bool install : {true, false}) {
      TempDir home;
      std::string path = home.file("config.toml");
      writeFile(path, content);
      std::string error = errorOf([&] {
        if (install) {
          upsertCodexMCP(path, command);
        } else {
          removeCodexMCP(path);
        }
      });
      EXPECT_NE(error.find(path), std::string::npos) << error;
      EXPECT_NE(error.find("would also change the value of"), std::string::npos) << error;
      EXPECT_EQ(readFile(path), content);
    }
  }
}

}  // namespace
}  // namespace mivet::mcp
