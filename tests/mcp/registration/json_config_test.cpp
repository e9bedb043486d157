#include "mcp/registration/json_config.h"

#include "common/json_reader.h"
#include "mcp/registration/antigravity_paths.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thrown_message.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::thrownMessage;
using test::writeFile;

const std::string command = "/h/Library/Application Support/Mivet/bin/mivet-mcp";

const std::string onlyEntry =
    "{\n"
    "  \"mcpServers\" : {\n"
    "    \"mivet\" : {\n"
    "      \"args\" : [],\n"
    "      \"command\" : \"/h/Library/Application Support/Mivet/bin/mivet-mcp\"\n"
    "    }\n"
    "  }\n"
    "}\n";

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_ino;
}

// The written file must parse with the project's reader and hold the entry.
void expectParsedEntry(const std::string& path) {
  auto document = parseJsonDocument(readFile(path));
  ASSERT_TRUE(document) << readFile(path);
  auto servers = objectMember(document->root, "mcpServers");
  ASSERT_TRUE(servers);
  auto entry = objectMember(*servers, "mivet");
  ASSERT_TRUE(entry);
  EXPECT_EQ(stringMember(*entry, "command"), command);
  simdjson::dom::array args;
  ASSERT_EQ(entry->at_key("args").get_array().get(args), simdjson::SUCCESS);
  EXPECT_EQ(args.size(), 0u);
  EXPECT_EQ(entry->size(), 2u);
}

TEST(UpsertJSONMCP, CreatesDirectoriesAndWritesOnlyTheEntryWithBareSlashes) {
  TempDir home;
  std::string path = home.file("a/b/mcp_config.json");
  upsertJSONMCP(path, command);
  EXPECT_EQ(readFile(path), onlyEntry);
  expectParsedEntry(path);
  upsertJSONMCP(path, command);
  EXPECT_EQ(readFile(path), onlyEntry);  // a second run changes nothing
}

TEST(UpsertJSONMCP, KeepsOtherMembersAndServersSortedAndReplacesTheEntryWhole) {
  TempDir home;
  std::string path = home.file(".claude.json");
  writeFile(path,
            R"({"zeta": {"b": 1, "a": [true, null, 2.5, "x/y"]}, "mcpServers": {"other": )"
            R"({"command": "o"}, "mivet": {"command": "old", "env": {"K": "v"}}}, "Alpha": -3})");
  upsertJSONMCP(path, command);
  EXPECT_EQ(readFile(path),
            "{\n"
            "  \"Alpha\" : -3,\n"
            "  \"mcpServers\" : {\n"
            "    \"mivet\" : {\n"
            "      \"args\" : [],\n"
            "      \"command\" : \"/h/Library/Application Support/Mivet/bin/mivet-mcp\"\n"
            "    },\n"
            "    \"other\" : {\n"
            "      \"command\" : \"o\"\n"
            "    }\n"
            "  },\n"
            "  \"zeta\" : {\n"
            "    \"a\" : [\n"
            "      true,\n"
            "      null,\n"
            "      2.5,\n"
            "      \"x/y\"\n"
            "    ],\n"
            "    \"b\" : 1\n"
            "  }\n"
            "}\n");
  expectParsedEntry(path);
}

TEST(UpsertJSONMCP, ReplacesMcpServersOfEveryWrongTypeAndTreatsEmptyAsMissing) {
  for (std::string servers : {"[]", "[{\"mivet\": 1}]", "\"s\"", "7", "null", "true"}) {
    TempDir home;
    std::string path = home.file("c.json");
    writeFile(path, "{\"mcpServers\": " + servers + ", \"keep\": 1}");
    upsertJSONMCP(path, command);
    auto document = parseJsonDocument(readFile(path));
    ASSERT_TRUE(document) << servers;
    EXPECT_EQ(objectMember(document->root, "mcpServers")->size(), 1u) << servers;
    EXPECT_EQ(document->root.size(), 2u) << servers;
    expectParsedEntry(path);
  }
  TempDir home;
  writeFile(home.file("empty.json"), "");
  upsertJSONMCP(home.file("empty.json"), command);
  EXPECT_EQ(readFile(home.file("empty.json")), onlyEntry);
}

TEST(UpsertJSONMCP, RepeatedKeysKeepTheLastValueOnce) {
  TempDir home;
  std::string path = home.file("c.json");
  writeFile(path, R"({"a": 1, "mcpServers": [], "a": 2, "mcpServers": {"x": {}, "x": {"k": 1}}})");
  upsertJSONMCP(path, command);
  auto document = parseJsonDocument(readFile(path));
  ASSERT_TRUE(document);
  EXPECT_EQ(document->root.size(), 2u);
  EXPECT_EQ(document->root["a"].get_int64().value(), 2);
  auto servers = objectMember(document->root, "mcpServers");
  EXPECT_EQ(servers->size(), 2u);
  EXPECT_EQ(objectMember(*servers, "x")->size(), 1u);
}

TEST(UpsertJSONMCP, UnusableFileFailsNamingItAndStaysByteForByte) {
  for (std::string content :
       {"[1, 2]", "\"text\"", "{\"a\": 1,}", "// note\n{}", "{\"a\": 1} trailing",
        "{\"a\": ", "{\"a\": \"\xFF\"}", "{\"n\": 01}"}) {
    TempDir home;
    std::string path = home.file(".claude.json");
    writeFile(path, content);
    std::string error = thrownMessage([&] { upsertJSONMCP(path, command); });
    EXPECT_NE(error.find(path), std::string::npos) << content << " -> " << error;
    EXPECT_EQ(readFile(path), content);
  }
}

TEST(UpsertJSONMCP, KeepsLoneSurrogatesAndNumbersOfAnySize) {
  TempDir home;
  std::string path = home.file(".claude.json");
  writeFile(path, R"({"history": ["cut \ud83d", "\uDC00x"], "big": -12345678901234567890123,)"
                  R"( "huge": 1e400, "tiny": -2.5E-400, "\ud800": 0})");
  upsertJSONMCP(path, command);
  std::string written = readFile(path);
  for (const char* kept : {R"("cut \ud83d")", R"("\udc00x")", ": -12345678901234567890123",
                           ": 1e400", ": -2.5E-400", R"("\ud800" : 0)", R"("mivet")"}) {
    EXPECT_NE(written.find(kept), std::string::npos) << kept << " in " << written;
  }
}

TEST(UpsertJSONMCP, DirectoryProblemsFailNamingThePath) {
  TempDir home;
  writeFile(home.file("plain"), "x");
  std::string error =
      thrownMessage([&] { upsertJSONMCP(home.file("plain/config/mcp_config.json"), command); });
  EXPECT_NE(error.find(home.file("plain/config")), std::string::npos) << error;
  EXPECT_EQ(readFile(home.file("plain")), "x");

  fs::create_directories(home.file("dir.json"));
  error = thrownMessage([&] { upsertJSONMCP(home.file("dir.json"), command); });
  EXPECT_NE(error.find(home.file("dir.json")), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(home.file("dir.json")));
}

TEST(UpsertJSONMCP, KeepsPermissionBitsAndSymbolicLinks) {
  TempDir home;
  writeFile(home.file("dotfiles/claude.json"), "{\"x\": 1}");
  ::chmod(home.file("dotfiles/claude.json").c_str(), 0600);
  fs::create_symlink("dotfiles/claude.json", home.file(".claude.json"));
  upsertJSONMCP(home.file(".claude.json"), command);
  EXPECT_TRUE(fs::is_symlink(home.file(".claude.json")));
  expectParsedEntry(home.file("dotfiles/claude.json"));
  EXPECT_EQ(fs::status(home.file("dotfiles/claude.json")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST(RemoveJSONMCP, LeavesFilesWithoutTheEntryUntouched) {
  for (std::string content : {"", "not json", "[1]", "{}", "{\"mcpServers\": []}",
                              "{\"mcpServers\": {}}", "{\"mcpServers\": {\"Mivet\": {}}}",
                              "{\"mcpServers\": {\"other\": {}},  \"z\":1}", "{ \"mivet\": {} }"}) {
    TempDir home;
    std::string path = home.file("c.json");
    writeFile(path, content);
    ino_t before = inodeOf(path);
    removeJSONMCP(path);
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(inodeOf(path), before) << "rewritten: " << content;
  }
  TempDir home;
  removeJSONMCP(home.file("missing/c.json"));
  EXPECT_FALSE(fs::exists(home.file("missing")));
}

TEST(RemoveJSONMCP, TakesOutOnlyTheEntryAndKeepsAnEmptyServersObject) {
  TempDir home;
  std::string path = home.file("c.json");
  writeFile(path, onlyEntry);
  removeJSONMCP(path);
  EXPECT_EQ(readFile(path), "{\n  \"mcpServers\" : {}\n}\n");

  writeFile(path, R"({"b": "1/2", "mcpServers": {"mivet": null, "a": {"command": "/x"}}})");
  removeJSONMCP(path);
  EXPECT_EQ(readFile(path),
            "{\n  \"b\" : \"1/2\",\n  \"mcpServers\" : {\n    \"a\" : {\n      \"command\" : "
            "\"/x\"\n    }\n  }\n}\n");
  EXPECT_TRUE(parseJsonDocument(readFile(path)));
}

TEST(HasJSONMCP, OnlyAnObjectWithTheEntryCounts) {
  TempDir home;
  std::string path = home.file("c.json");
  auto has = [&](const std::string& content) {
    writeFile(path, content);
    return hasJSONMCP(path);
  };
  EXPECT_TRUE(has("{\"mcpServers\": {\"mivet\": null}}"));
  EXPECT_TRUE(has("{\"mcpServers\": {\"mivet\": {\"command\": \"anything\"}}}"));
  EXPECT_FALSE(has("[{\"mcpServers\": {\"mivet\": {}}}]"));
  EXPECT_FALSE(has("{\"mcpServers\": [\"mivet\"]}"));
  EXPECT_FALSE(has("{\"mcpServers\": {\"MIVET\": {}}}"));
  EXPECT_FALSE(has("{\"mivet\": {}}"));
  EXPECT_FALSE(has(""));
  EXPECT_FALSE(has("{\"mcpServers\": {\"mivet\": {}}"));
  EXPECT_FALSE(hasJSONMCP(home.file("missing.json")));
}

TEST(AntigravityConfigPaths, FixedPathFirstThenAntigravityDirThenProvidersByCodePoint) {
  TempDir home;
  const std::string h = home.path();
  EXPECT_EQ(antigravityConfigPaths(h),
            std::vector<std::string>{h + "/.gemini/config/mcp_config.json"});

  const std::string providers = h + "/.t3/userdata/providers/antigravity";
  fs::create_directories(h + "/.gemini/antigravity");
  // "e\u0301z" (with a combining accent) sorts as "\u00e9z" does, after "\u00e9";
  // "C" before "a" and "b": by code point, not by letter regardless of case.
  for (std::string name : {"b", "C", "a", ".hidden", "é", "e\u0301z"}) {
    fs::create_directories(providers + "/" + name + "/config");
  }
  writeFile(providers + "/plain-file", "x");               // an entry that is a file
  fs::create_directories(providers + "/no-config/other");  // no config directory
  writeFile(providers + "/config-is-file/config", "x");    // config is a file
  fs::create_directories(h + "/elsewhere");
  fs::create_directories(providers + "/linked");
  fs::create_directory_symlink(h + "/elsewhere", providers + "/linked/config");

  EXPECT_EQ(antigravityConfigPaths(h), (std::vector<std::string>{
                                           h + "/.gemini/config/mcp_config.json",
                                           h + "/.gemini/antigravity/mcp_config.json",
                                           providers + "/.hidden/config/mcp_config.json",
                                           providers + "/C/config/mcp_config.json",
                                           providers + "/a/config/mcp_config.json",
                                           providers + "/b/config/mcp_config.json",
                                           providers + "/linked/config/mcp_config.json",
                                           providers + "/é/config/mcp_config.json",
                                           providers + "/e\u0301z/config/mcp_config.json",
                                       }));
}

TEST(AntigravityConfigPaths, NamesDifferingOnlyInCaseSortUpperCaseFirst) {
  if (!test::tempFolderTellsCaseApart()) {
    GTEST_SKIP() << "the temporary folder takes \"A\" and \"a\" for one name";
  }
  TempDir home;
  const std::string providers = home.path() + "/.t3/userdata/providers/antigravity";
  for (std::string name : {"a", "A"}) fs::create_directories(providers + "/" + name + "/config");
  auto paths = antigravityConfigPaths(home.path());
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[1], providers + "/A/config/mcp_config.json");
  EXPECT_EQ(paths[2], providers + "/a/config/mcp_config.json");
}

TEST(AntigravityConfigPaths, AntigravityFileCountsButDanglingLinkDoesNot) {
  TempDir home;
  const std::string h = home.path();
  fs::create_directories(h + "/.gemini");
  fs::create_symlink(h + "/nowhere", h + "/.gemini/antigravity");
  writeFile(h + "/.t3/userdata/providers/antigravity", "not a directory");
  EXPECT_EQ(antigravityConfigPaths(h).size(), 1u);
  fs::remove(h + "/.gemini/antigravity");
  writeFile(h + "/.gemini/antigravity", "a file");
  EXPECT_EQ(antigravityConfigPaths(h).size(), 2u);
}

}  // namespace
}  // namespace mivet::mcp
