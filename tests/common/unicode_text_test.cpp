#include "common/unicode_text.h"

#include <gtest/gtest.h>

namespace mivet {
namespace {

TEST(UnicodeTextTest, HorizontalTrimKeepsLineBreaks) {
  EXPECT_EQ(trimHorizontalWhitespace(" \t\u00a0\u3000[x]\u2003 "), "[x]");
  EXPECT_EQ(trimHorizontalWhitespace("[x]\r"), "[x]\r");
  EXPECT_EQ(trimHorizontalWhitespace("\n[x]"), "\n[x]");
  EXPECT_EQ(trimHorizontalWhitespace("   "), "");
}

TEST(UnicodeTextTest, FullTrimRemovesLineBreaksToo) {
  EXPECT_EQ(trimWhitespaceAndNewlines("\r\n /Apps/Mivet.app\u2028\u0085\n"), "/Apps/Mivet.app");
  EXPECT_EQ(trimWhitespaceAndNewlines("é"), "é");
}

TEST(UnicodeTextTest, SplitsAtEveryNewlineCharacter) {
  auto lines = splitAtNewlines("a\r\nb\u2028c\vd\u0085e");
  std::vector<std::string_view> expected{"a", "", "b", "c", "d", "e"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace mivet
