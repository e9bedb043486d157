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

TEST(UnicodeTextTest, EncodesAndDecodesEveryLengthAtItsBounds) {
  for (char32_t codePoint : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string text;
    appendUtf8(text, codePoint);
    Utf8Step step = decodeUtf8At(text, 0);
    EXPECT_TRUE(step.wellFormed && step.codePoint == codePoint && step.length == text.size())
        << std::hex << static_cast<unsigned>(codePoint);
  }
  std::string surrogate;
  appendUtf8(surrogate, 0xD800);
  EXPECT_EQ(surrogate, "\xED\xA0\x80");
  EXPECT_FALSE(decodeUtf8At(surrogate, 0).wellFormed);
  EXPECT_EQ(decodeUtf8At(surrogate, 0).length, 1u);
  EXPECT_TRUE(decodeWtf8At(surrogate, 0).wellFormed);
  EXPECT_TRUE(isValidWtf8(surrogate));
  EXPECT_FALSE(isValidWtf8("\xC0\x80"));
}

}  // namespace
}  // namespace mivet
