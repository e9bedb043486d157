#include "mcp/registration/command_target.h"

#include "mcp/registration/lower_case.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

TEST(ClientsSelectedBy, NamesAndAliasesSelectTheirClients) {
  auto selects = [](std::string_view target) {
    ClientSelection s = clientsSelectedBy(target);
    return std::string(s.claude ? "C" : "-") + (s.codex ? "X" : "-") + (s.antigravity ? "A" : "-");
  };
  EXPECT_EQ(selects("all"), "CXA");
  EXPECT_EQ(selects("claude"), "C--");
  EXPECT_EQ(selects("codex"), "-X-");
  EXPECT_EQ(selects("antigravity"), "--A");
  EXPECT_EQ(selects("agy"), "--A");
  for (std::string_view other : {"", "Claude", "claude ", "gemini", "all,codex"}) {
    EXPECT_EQ(selects(other), "---") << other;
  }
}

TEST(LowerCased, MapsLettersOfTheCommonScripts) {
  EXPECT_EQ(lowerCased("ABC xyz 019-_/"), "abc xyz 019-_/");
  EXPECT_EQ(lowerCased("ÀÉÎÕÜÞ×ß"), "àéîõüþ×ß");
  EXPECT_EQ(lowerCased("ĀĆŁŃŒŠŸŽ"), "āćłńœšÿž");
  EXPECT_EQ(lowerCased("ΑΒΓΣΩΆΏ"), "αβγσωάώ");
  EXPECT_EQ(lowerCased("ПРИВЕТЁЂ"), "приветёђ");
  EXPECT_EQ(lowerCased("ԱԲ ႠႡ ẞ ẠỸ ＡＺ ⅠⅫ Ⓐ"), "աբ ⴀⴁ ß ạỹ ａｚ ⅰⅻ ⓐ");
  EXPECT_EQ(lowerCased("\U00010400\U0001E900"), "\U00010428\U0001E922");  // Deseret, Adlam
  // Full mapping: one letter becomes two code points.
  EXPECT_EQ(lowerCased("İ"), "i\u0307");
  // Already lower case, caseless or symbols stay.
  EXPECT_EQ(lowerCased("ǆ日本語ℌ✓"), "ǆ日本語ℌ✓");
}

TEST(LowerCased, CopiesBytesThatAreNotUtf8) {
  EXPECT_EQ(lowerCased("A\xFF"
                       "B\xC3"),
            "a\xFF"
            "b\xC3");
  EXPECT_EQ(lowerCased("\xED\xA0\x80Z"), "\xED\xA0\x80z");  // an encoded surrogate
  EXPECT_EQ(lowerCased("\xC0\x81"), "\xC0\x81");            // overlong
}

}  // namespace
}  // namespace mivet::mcp
