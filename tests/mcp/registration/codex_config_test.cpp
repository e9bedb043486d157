#include "mcp/registration/codex_config.h"

#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::thrownMessage;
using test::writeFile;

const std::string command = "/h/Library/Application Support/Mivet/bin/mivet-mcp";
const std::string section =
    "[mcp_servers.mivet]\n"
    "command = \"/h/Library/Application Support/Mivet/bin/mivet-mcp\"\n"
    "args = []\n";

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

// Trailing blank lines go, also those of blanks or of a CR alone; one empty
// line separates the rest from the section.
TEST(UpsertCodexMCP, TheRestKeepsItsLinesAndOneEmptyLineAndRepeatsChangeNothing) {
  struct Row {
    std::string content, rest;
  };
  for (const Row& row : std::vector<Row>{
           {"model = \"o3\"\n\n\n", "model = \"o3\"\n\n"},
           {"a = 1\n\n \t\n\n", "a = 1\n\n"},
           {"a = 1\r\n\r\n", "a = 1\r\n\n"},
           {"model = \"o3\"\r\n[tools]\r\nweb = true\r\n",
            "model = \"o3\"\r\n[tools]\r\nweb = true\r\n\n"},
           {"", ""},
       }) {
    TempDir home;
    std::string path = home.file("config.toml");
    writeFile(path, row.content);
    upsertCodexMCP(path, command);
    EXPECT_EQ(readFile(path), row.rest + section) << row.content;
    upsertCodexMCP(path, command);
    EXPECT_EQ(readFile(path), row.rest + section) << row.content;
    expectParsedCommand(path);
  }
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

std::optional<toml::table> parsedOrNothing(const std::string& text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
}

// The registration holds exactly the table written, and every other value
// is what toml++ reads in `rest`.
void expectOnlyTheServerAdded(const std::string& path, const std::string& rest) {
  auto edited = parsedOrNothing(readFile(path));
  ASSERT_TRUE(edited) << readFile(path);
  expectParsedCommand(path);
  auto* servers = edited->get_as<toml::table>("mcp_servers");
  EXPECT_EQ(servers->get_as<toml::table>("mivet")->size(), 2u) << readFile(path);
  servers->erase("mivet");
  if (servers->empty()) edited->erase("mcp_servers");
  auto others = parsedOrNothing(rest);
  ASSERT_TRUE(others) << rest;
  EXPECT_EQ(*edited, *others) << rest;
}

// Each row: a file, and what is left of it without the server's tables.
// Status counts the server exactly when there is something to take out;
// install puts one table in their place, uninstall leaves the rest.
TEST(CodexEdits, EveryFormOfTheServersTablesIsTakenOut) {
  struct Row {
    std::string content, rest;
  };
  for (const Row& row : std::vector<Row>{
           {"a = 1\r\n\r\n[mcp_servers.mivet]\r\ncommand = \"/old\"\r\nargs = []\r\n\r\n[b]\r\nc = "
            "2\r\n",
            "a = 1\r\n\r\n[b]\r\nc = 2\r\n"},
           {"[mcp_servers.mivet] # mine\ncommand = \"/old\"\n", ""},
           {"[ mcp_servers . mivet ]\ncommand = \"/old\"\n[b]\nc = 1\n", "[b]\nc = 1\n"},
           {"[mcp_servers.\"mivet\"]\ncommand = \"/old\"\n", ""},
           {"[mcp_servers.\"mi\\u0076et\"]\ncommand = \"/old\"\n", ""},
           {"\xEF\xBB\xBF[mcp_servers.mivet]\ncommand = \"/old\"\n[b]\nc = 1\n",
            "\xEF\xBB\xBF[b]\nc = 1\n"},
           {"\xEF\xBB\xBF[mcp_servers.mivet]\nx = 1\n", ""},
           {"a = 1\n[mcp_servers.mivet.env]\nA = \"1\"\n", "a = 1\n"},
           {"m = 1\n\n[mcp_servers.mivet]\nx = 1\n\n[mcp_servers.mivet.env]\nA = \"1\"\n# on "
            "b\n[b]\n",
            "m = 1\n\n[b]\n"},
           {"[mcp_servers.mivet]\ncommand = \"/old\"\n  [other]\nx = 1\n", "  [other]\nx = 1\n"},
           // A header line inside a multi-line string is text, not a table.
           {"instructions = '''\nRegister with\n[mcp_servers.mivet]\ncommand = "
            "\"x\"\n[done]\n'''\n",
            "instructions = '''\nRegister with\n[mcp_servers.mivet]\ncommand = "
            "\"x\"\n[done]\n'''\n"},
           {"[mcp_servers.mivet]\ncommand = \"/old\"\n[notes]\ntext = "
            "\"\"\"\n[mcp_servers.mivet]\nkept = 1\n[end]\n\"\"\"\n",
            "[notes]\ntext = \"\"\"\n[mcp_servers.mivet]\nkept = 1\n[end]\n\"\"\"\n"},
           {"[mcp_servers.mivet]\ncommand = \"\"\"\n[other]\n\"\"\"\n", ""},
           // Not TOML only because the server's table is there more than once.
           {"[mcp_servers.mivet]\na = 1\n[x]\ny = 2\n\t[mcp_servers.mivet]\nb = 2\n",
            "[x]\ny = 2\n"},
           {"[mcp_servers.mivet]\na = 1\n[x]\n[mcp_servers.mivet]\nb = 2\n  [y]\nc = 3\n"
            "  [mcp_servers.mivet]  \t\nd = 4\n",
            "[x]\n  [y]\nc = 3\n"},
       }) {
    TempDir home;
    std::string path = home.file("config.toml");
    writeFile(path, row.content);
    EXPECT_EQ(hasCodexMCP(path), row.rest != row.content) << row.content;
    ASSERT_EQ(thrownMessage([&] { upsertCodexMCP(path, command); }), "") << row.content;
    expectOnlyTheServerAdded(path, row.rest);

    writeFile(path, row.content);
    ASSERT_EQ(thrownMessage([&] { removeCodexMCP(path); }), "") << row.content;
    EXPECT_EQ(readFile(path), row.rest);
    EXPECT_FALSE(hasCodexMCP(path)) << row.content;
  }
}

// Each row: a file, what the install's refusal says, and whether the status
// counts the server there (then the uninstall is refused the same way, else
// it has nothing to do). The file stays byte for byte.
TEST(CodexEdits, FormsItCannotEditAreRefusedWithTheFileUnchanged) {
  struct Row {
    std::string content;
    std::string refusal;
    bool registered;
  };
  for (const Row& row : std::vector<Row>{
           {"mcp_servers.mivet.command = \"/old\"\n",
            "dotted keys (mcp_servers.mivet.command = ", true},
           {"a = 1\n[mcp_servers]\nmivet.command = \"/old\"\n",
            "dotted keys (mivet.command = ", true},
           {"mcp_servers = { mivet = { command = \"/old\" } }\n", "an inline table", true},
           {"[mcp_servers]\nmivet = { command = \"/old\" }\n", "an inline table", true},
           // Not TOML for a reason besides the server's tables: the header lines
           // are read, and what is left of another value must not change.
           {"[mcp_servers.mivet]\ncommand = \"/old\"\n[mcp_servers.docs]\nnotes = '''\n"
            "[mcp_servers.mivet]\n[kept]\n'''\n\t[mcp_servers.mivet]\nb = 2\n",
            "would also change the value of mcp_servers.docs.notes", true},
           {"mcp_servers = { docs = { command = \"d\" } }\n", "invalid TOML", false},
           {"this is = = not toml\n", "not valid TOML", false},
       }) {
    TempDir home;
    std::string path = home.file("config.toml");
    writeFile(path, row.content);
    EXPECT_EQ(hasCodexMCP(path), row.registered) << row.content;
    std::string error = thrownMessage([&] { upsertCodexMCP(path, command); });
    EXPECT_NE(error.find(path + " was left unchanged"), std::string::npos) << error;
    EXPECT_NE(error.find(row.refusal), std::string::npos) << error;
    EXPECT_EQ(readFile(path), row.content);

    error = thrownMessage([&] { removeCodexMCP(path); });
    EXPECT_EQ(error.find(row.refusal) != std::string::npos, row.registered) << error;
    EXPECT_EQ(readFile(path), row.content);
  }
}

// In a file that is not TOML for another reason, uninstall takes out the
// block of each line that reads as a header of the server (split at LF only,
// as TOML splits), and status counts exactly those. Each row: a header line,
// and whether it is one.
TEST(CodexEdits, InTextThatIsNotTomlEveryHeaderLineOfTheServerIsTakenOut) {
  struct Row {
    std::string header;
    bool opensBlock;
  };
  for (const Row& row : std::vector<Row>{
           {"[mcp_servers.mivet] # mine", true},
           {"[ mcp_servers . mivet ]\t#", true},
           {"[mcp_servers.\"mivet\"]", true},
           {"['mcp_servers'.'mivet']", true},
           {"[mcp_servers.mivet.env]", true},
           {"[[mcp_servers.mivet.hooks]]", true},
           {"\u2003[mcp_servers.mivet]", true},
           {"[mcp_servers.\"mi\\u0076et\"]", false},  // an escape is not decoded
           {"[mcp_servers.mivet] x", false},
           {"[mcp_servers.mivetx]", false},
           {"[mcp_servers.\"mivet]", false},
           {"[[mcp_servers.mivet]", false},
           {"# [mcp_servers.mivet]", false},
           {"\u2029[mcp_servers.mivet]", false},  // not a line break in TOML
       }) {
    TempDir home;
    std::string path = home.file("config.toml");
    std::string content = "a = = 1\n" + row.header + "\ncommand = \"x\"\n[b]\n";
    writeFile(path, content);
    EXPECT_EQ(hasCodexMCP(path), row.opensBlock) << row.header;
    removeCodexMCP(path);
    EXPECT_EQ(readFile(path), row.opensBlock ? "a = = 1\n[b]\n" : content);
    EXPECT_FALSE(hasCodexMCP(path)) << row.header;
  }
}

TEST(UpsertCodexMCP, UnusableFileOrDirectoryFailsNamingItAndLosesNothing) {
  TempDir home;
  std::string path = home.file("config.toml");
  std::string notUtf8 = "# caf\xE9\nmodel = \"o3\"\n";
  writeFile(path, notUtf8);
  std::string error = thrownMessage([&] { upsertCodexMCP(path, command); });
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_EQ(readFile(path), notUtf8);

  fs::create_directories(home.file("dir.toml"));
  error = thrownMessage([&] { upsertCodexMCP(home.file("dir.toml"), command); });
  EXPECT_NE(error.find(home.file("dir.toml")), std::string::npos) << error;

  writeFile(home.file(".codex"), "a plain file");
  error = thrownMessage([&] { upsertCodexMCP(home.file(".codex/config.toml"), command); });
  EXPECT_NE(error.find(home.file(".codex")), std::string::npos) << error;
  EXPECT_EQ(readFile(home.file(".codex")), "a plain file");
}

TEST(UpsertCodexMCP, ControlCharactersInTheCommandAreEscaped) {
  TempDir home;
  std::string path = home.file("config.toml");
  std::string awkward = "/odd\ndir/\x1B[0m/\tz\x01\x7F\r\b\f\"\\\u00E9/mivet-mcp";
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
}

TEST(RemoveCodexMCP, LeavesFilesItCannotOrNeedNotEditUntouched) {
  TempDir home;
  std::string path = home.file("config.toml");
  for (std::string content : {"a = 1\n\n\n", "# see [mcp_servers.mivet]\na = 1\n\n\n",
                              "[mcp_servers.mivet.env]x\xFF\n[mcp_servers.mivet]\n"}) {
    writeFile(path, content);
    ino_t before = inodeOf(path);
    removeCodexMCP(path);
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(inodeOf(path), before);
  }
  removeCodexMCP(home.file("missing/config.toml"));
  EXPECT_FALSE(fs::exists(home.file("missing")));
}

}  // namespace
}  // namespace mivet::mcp
