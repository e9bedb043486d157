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

std::optional<toml::table> parsedOrNothing(const std::string& text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
}

// The ways a file may spell the server, or hold something next to it. Each
// edit either does its work, leaving every other value as it was, or fails
// naming what it cannot handle and keeps the file byte for byte.
TEST(CodexEdits, EveryFormIsTakenOutOrRefusedWithTheFileUnchanged) {
  struct Form {
    std::string content;
    std::optional<std::string> uninstalled;  // the file after --uninstall; nullopt: it fails
    const char* refusal;  // in the message of both failing edits; nullptr: install works
  };
  for (
      const Form& form : std::vector<Form>{
          {"a = 1\r\n\r\n[mcp_servers.mivet]\r\ncommand = \"/old\"\r\nargs = []\r\n\r\n[b]\r\nc = "
           "2\r\n",
           "a = 1\r\n\r\n[b]\r\nc = 2\r\n", nullptr},
          {"[mcp_servers.mivet] # mine\ncommand = \"/old\"\n", "", nullptr},
          {"[ mcp_servers . mivet ]\ncommand = \"/old\"\n[b]\nc = 1\n", "[b]\nc = 1\n", nullptr},
          {"[mcp_servers.\"mivet\"]\ncommand = \"/old\"\n", "", nullptr},
          {"\xEF\xBB\xBF[mcp_servers.mivet]\ncommand = \"/old\"\n[b]\nc = 1\n",
           "\xEF\xBB\xBF[b]\nc = 1\n", nullptr},
          {"a = 1\n[mcp_servers.mivet.env]\nA = \"1\"\n", "a = 1\n", nullptr},
          {"mcp_servers.mivet.command = \"/old\"\n", std::nullopt,
           "dotted keys (mcp_servers.mivet.command = "},
          {"a = 1\n[mcp_servers]\nmivet.command = \"/old\"\n", std::nullopt,
           "dotted keys (mivet.command = "},
          {"mcp_servers = { mivet = { command = \"/old\" } }\n", std::nullopt, "an inline table"},
          {"[mcp_servers]\nmivet = { command = \"/old\" }\n", std::nullopt, "an inline table"},
          {"[mcp_servers.\"mi\\u0076et\"]\ncommand = \"/old\"\n", std::nullopt, "a table header"},
          // A header line inside a multi-line string is text, not a table: cutting
          // it out would change that string, and cutting up to a line in the
          // string that looks like a header would break the file.
          {"instructions = '''\nRegister with\n[mcp_servers.mivet]\ncommand = \"x\"\n[done]\n'''\n",
           "instructions = '''\nRegister with\n[mcp_servers.mivet]\ncommand = \"x\"\n[done]\n'''\n",
           "would also change the value of instructions"},
          {"[mcp_servers.mivet]\ncommand = \"/old\"\n[notes]\ntext = "
           "\"\"\"\n[mcp_servers.mivet]\nkept = "
           "1\n[end]\n\"\"\"\n",
           std::nullopt, "would also change the value of notes.text"},
          {"[mcp_servers.mivet]\ncommand = \"\"\"\n[other]\n\"\"\"\n", std::nullopt,
           "invalid TOML"},
          // No server to take out, and none that could be added.
          {"mcp_servers = { docs = { command = \"d\" } }\n",
           "mcp_servers = { docs = { command = \"d\" } }\n", "invalid TOML"},
          {"this is = = not toml\n", "this is = = not toml\n", "not valid TOML"},
      }) {
    for (bool install : {true, false}) {
      TempDir home;
      std::string path = home.file("config.toml");
      writeFile(path, form.content);
      std::string error = thrownMessage([&] {
        if (install) {
          upsertCodexMCP(path, command);
        } else {
          removeCodexMCP(path);
        }
      });
      bool fails = install ? form.refusal != nullptr : !form.uninstalled;
      if (fails) {
        EXPECT_NE(error.find(path + " was left unchanged"), std::string::npos) << error;
        EXPECT_NE(error.find(form.refusal), std::string::npos) << error;
        EXPECT_EQ(readFile(path), form.content);
        continue;
      }
      ASSERT_EQ(error, "") << form.content;
      auto edited = parsedOrNothing(readFile(path));
      if (!install) {
        EXPECT_EQ(readFile(path), *form.uninstalled);
        if (edited) {
          EXPECT_FALSE(edited->at_path("mcp_servers.mivet")) << form.content;
        }
        continue;
      }
      ASSERT_TRUE(edited) << readFile(path);
      expectParsedCommand(path);
      auto* servers = edited->get_as<toml::table>("mcp_servers");
      EXPECT_EQ(servers->get_as<toml::table>("mivet")->size(), 2u) << readFile(path);
      servers->erase("mivet");
      if (servers->empty()) edited->erase("mcp_servers");
      auto others = parsedOrNothing(*form.uninstalled);
      ASSERT_TRUE(others);
      EXPECT_EQ(*edited, *others) << form.content;
    }
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
