#include "mcp/registration/codex_section.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <vector>

namespace mivet::mcp {
namespace {

TEST(StripCodexMivetSection, RemovesBlockWithSubTablesAndKeepsTheNextTable) {
  std::string text =
      "model = \"o3\"\n"
      "\n"
      "[mcp_servers.mivet]\n"
      "command = \"/x\"\n"
      "args = []\n"
      "\n"
      "[mcp_servers.mivet.env]\n"
      "A = \"1\"\n"
      "\n"
      "[other]\n"
      "b = 2\n";
  EXPECT_EQ(stripCodexMivetSection(text), "model = \"o3\"\n\n[other]\nb = 2");
}

TEST(StripCodexMivetSection, CommentsBeforeTheNextTableGoWithTheBlock) {
  EXPECT_EQ(
      stripCodexMivetSection("[mcp_servers.mivet]\ncommand = \"x\"\n# about other\n[other]\n"),
      "[other]");
}

TEST(StripCodexMivetSection, EveryBlockIsRemoved) {
  // The second header directly follows the line that ended the first block.
  std::string text =
      "[mcp_servers.mivet]\na = 1\n[x]\n[mcp_servers.mivet]\nb = 2\n[y]\nc = 3\n"
      "  [mcp_servers.mivet]  \t\nd = 4\n";
  EXPECT_EQ(stripCodexMivetSection(text), "[x]\n[y]\nc = 3");
}

// Each row: a header line, and whether it opens a block of the server.
TEST(StripCodexMivetSection, HeaderSpellingsThatOpenABlockAndThoseThatStay) {
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
           {"[mcp_servers.\"mi\\u0076et\"]", false},  // an escape is not decoded
           {"[mcp_servers.mivet] x", false},
           {"[mcp_servers.mivetx]", false},
           {"[mcp_servers.\"mivet]", false},
           {"[[mcp_servers.mivet]", false},
           {"# [mcp_servers.mivet]", false},
       }) {
    std::string text = "a = 1\n" + row.header + "\ncommand = \"x\"\n[b]\n";
    EXPECT_EQ(stripCodexMivetSection(text),
              row.opensBlock ? "a = 1\n[b]" : "a = 1\n" + row.header + "\ncommand = \"x\"\n[b]")
        << row.header;
  }
}

// A "\r" before "\n" belongs to the line end: it stays with its line, and a
// line holding nothing else is blank.
TEST(StripCodexMivetSection, TrailingBlankLinesGoCrLfEndsAndAByteOrderMarkStay) {
  EXPECT_EQ(stripCodexMivetSection("a = 1\n\n \t\n\n"), "a = 1");
  EXPECT_EQ(stripCodexMivetSection("a = 1\r\nb = 2\r\n"), "a = 1\r\nb = 2\r");
  EXPECT_EQ(stripCodexMivetSection("a = 1\r\n\r\n"), "a = 1\r");
  EXPECT_EQ(stripCodexMivetSection("a = 1\r\n[mcp_servers.mivet]\r\nx = 1\r\n\r\n[b]\r\nc = 2\r\n"),
            "a = 1\r\n[b]\r\nc = 2\r");
  EXPECT_EQ(stripCodexMivetSection("\xEF\xBB\xBF[mcp_servers.mivet]\nx = 1\n[b]\n"),
            "\xEF\xBB\xBF[b]");
  EXPECT_EQ(stripCodexMivetSection("\xEF\xBB\xBF[mcp_servers.mivet]\nx = 1\n"), "");
  EXPECT_EQ(stripCodexMivetSection("\n\n[mcp_servers.mivet]\nx = 1\n\n"), "");
  EXPECT_EQ(stripCodexMivetSection(""), "");
  // Unicode space separators are trimmed like spaces.
  EXPECT_EQ(stripCodexMivetSection("a = 1\n\u3000\u00A0\n"), "a = 1");
  EXPECT_EQ(stripCodexMivetSection("\u2003[mcp_servers.mivet]\nx = 1\n"), "");
}

TEST(CodexMivetSection, EscapesBackslashQuoteAndControlCharacters) {
  EXPECT_EQ(codexMivetSection("/a b/mivet-mcp"),
            "[mcp_servers.mivet]\ncommand = \"/a b/mivet-mcp\"\nargs = []");
  EXPECT_EQ(codexMivetSection("a\"b\\c"),
            "[mcp_servers.mivet]\ncommand = \"a\\\"b\\\\c\"\nargs = []");

  std::string awkward = "x\ny\tz\x01\x7F\r\"\\é";
  std::string section = codexMivetSection(awkward);
  auto table = toml::parse(section);
  EXPECT_EQ(table["mcp_servers"]["mivet"]["command"].value_or(std::string()), awkward);
  EXPECT_EQ(section.find('\n', section.find("command")), section.find("\nargs"));
}

TEST(ContainsCodexMivetHeader, MatchesTrimmedLinesAtEveryNewlineCharacter) {
  EXPECT_TRUE(containsCodexMivetHeader("a = 1\n  \t[mcp_servers.mivet]  \nb = 2"));
  EXPECT_TRUE(containsCodexMivetHeader("a = 1\r\n[mcp_servers.mivet]\r\n"));
  EXPECT_TRUE(containsCodexMivetHeader("a = 1\u2028[mcp_servers.mivet]\u0085x"));
  EXPECT_TRUE(containsCodexMivetHeader("a = 1\x0B[mcp_servers.mivet]\x0C"));
  EXPECT_FALSE(containsCodexMivetHeader("[mcp_servers.mivet] # comment\n"));
  EXPECT_FALSE(containsCodexMivetHeader("[mcp_servers.mivet.env]\n"));
  EXPECT_FALSE(containsCodexMivetHeader("# [mcp_servers.mivet]\n"));
  EXPECT_FALSE(containsCodexMivetHeader(""));
}

}  // namespace
}  // namespace mivet::mcp
