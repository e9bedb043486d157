#include "mcp/registration/registration_status.h"

#include "common/json_reader.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace mivet::mcp {
namespace {

using test::TempDir;
using test::writeFile;

std::string escapedSlashes(const std::string& path) {
  std::string escaped;
  for (char c : path) escaped += c == '/' ? std::string("\\/") : std::string(1, c);
  return escaped;
}

struct StatusHome {
  TempDir dir;
  std::string claude = dir.file(".claude.json");
  std::string codex = dir.file(".codex/config.toml");
  std::vector<std::string> antigravity{dir.file("g1.json"), dir.file("g2.json")};

  std::string status() const {
    return registrationStatusJson(dir.path(), claude, codex, antigravity);
  }
  // "connected" of one client, read back with the project's reader.
  bool connected(std::string_view client) const {
    std::string text = status();
    auto document = parseJsonDocument(text);
    EXPECT_TRUE(document) << text;
    if (!document) return false;
    return objectMember(document->root, client)->at_key("connected").get_bool().value();
  }
};

TEST(RegistrationStatus, NothingRegisteredStillNamesEveryPathWithEscapedSlashes) {
  StatusHome home;
  std::string h = escapedSlashes(home.dir.path());
  EXPECT_EQ(home.status(),
            "{\n"
            "  \"antigravity\" : {\n"
            "    \"connected\" : false,\n"
            "    \"paths\" : [\n"
            "      \"" +
                h +
                "\\/g1.json\",\n"
                "      \"" +
                h +
                "\\/g2.json\"\n"
                "    ]\n"
                "  },\n"
                "  \"claude\" : {\n"
                "    \"connected\" : false,\n"
                "    \"path\" : \"" +
                h +
                "\\/.claude.json\"\n"
                "  },\n"
                "  \"codex\" : {\n"
                "    \"connected\" : false,\n"
                "    \"path\" : \"" +
                h +
                "\\/.codex\\/config.toml\"\n"
                "  },\n"
                "  \"command\" : \"" +
                h +
                "\\/Library\\/Application Support\\/Mivet\\/bin\\/mivet-mcp\"\n"
                "}");
}

TEST(RegistrationStatus, AntigravityCountsOnlyWhenEveryFileHoldsTheEntry) {
  StatusHome home;
  writeFile(home.antigravity[0], R"({"mcpServers": {"mivet": null}})");
  EXPECT_FALSE(home.connected("antigravity"));
  writeFile(home.antigravity[1], R"({"mcpServers": {"mivet": {}}})");
  EXPECT_TRUE(home.connected("antigravity"));
  home.antigravity.clear();
  EXPECT_FALSE(home.connected("antigravity"));
}

TEST(RegistrationStatus, ClaudeEntryWithAnyValueCounts) {
  StatusHome home;
  writeFile(home.claude, R"({"mcpServers": {"mivet": null}})");
  EXPECT_TRUE(home.connected("claude"));
  writeFile(home.claude, R"({"mcpServers": ["mivet"]})");
  EXPECT_FALSE(home.connected("claude"));
}

// Valid TOML counts when toml++ finds mcp_servers.mivet, in any spelling;
// other text when a line, split at LF, is a header of the server's table.
TEST(RegistrationStatus, CodexCountsWhatTomlReadsOrElseTheHeaderLine) {
  StatusHome home;
  struct Row {
    std::string text;
    bool connected;
  };
  for (const Row& row : std::vector<Row>{
           {"a = 1\n\t  [mcp_servers.mivet] \t\ncommand = \"x\"\n", true},
           {"a = 1\r\n[mcp_servers.mivet]\r\n", true},
           {"[mcp_servers.mivet] # mine\n", true},
           {"mcp_servers = { mivet = { command = \"x\" } }\n", true},
           {"[mcp_servers]\nmivet.command = \"x\"\n", true},
           {"notes = '''\n[mcp_servers.mivet]\n'''\n", false},
           {"[mcp_servers.docs]\n# [mcp_servers.mivet]\n", false},
           {"a = 1\u2029[mcp_servers.mivet]", false},  // not TOML: one line, split at LF
           {"a = = 1\n[mcp_servers.mivet] # mine\n", true},
           {"# caf\xE9\n[mcp_servers.mivet]\n", false},  // not UTF-8
       }) {
    writeFile(home.codex, row.text);
    EXPECT_EQ(home.connected("codex"), row.connected) << row.text;
  }
}

// A provider directory may have any bytes in its name; the report is still printed.
TEST(RegistrationStatus, BytesOfAPathThatAreNotUtf8ShowAsReplacementCharacters) {
  std::string text =
      registrationStatusJson("/h\xFF", "/h\xFF/.claude.json", "/c\xE2\x82", {"/g/caf\xC3\xA9\xE9"});
  auto document = parseJsonDocument(text);
  ASSERT_TRUE(document) << text;
  EXPECT_EQ(stringMember(document->root, "command"),
            "/h\uFFFD/Library/Application Support/Mivet/bin/mivet-mcp");
  EXPECT_EQ(stringMember(*objectMember(document->root, "claude"), "path"), "/h\uFFFD/.claude.json");
  EXPECT_EQ(stringMember(*objectMember(document->root, "codex"), "path"), "/c\uFFFD\uFFFD");
  std::string_view antigravity;
  ASSERT_EQ(objectMember(document->root, "antigravity")->at_key("paths").at(0).get(antigravity),
            simdjson::SUCCESS);
  EXPECT_EQ(antigravity, "/g/caf\u00E9\uFFFD");
}

}  // namespace
}  // namespace mivet::mcp
