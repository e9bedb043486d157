#include "mcp/server/utf8_repair.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

constexpr std::string_view fffd = "\xEF\xBF\xBD";

TEST(Utf8RepairTest, ValidTextIsUnchanged) {
  EXPECT_EQ(repairUtf8("plain é ✓ 😀"), "plain é ✓ 😀");
  EXPECT_EQ(repairUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8RepairTest, EachMaximalIllFormedSubsequenceBecomesOneReplacement) {
  std::string f(fffd);
  EXPECT_EQ(repairUtf8("a\xFF"
                       "b"),
            "a" + f + "b");
  EXPECT_EQ(repairUtf8("\xE2\x9C"), f);  // truncated three-byte sequence
  EXPECT_EQ(repairUtf8("\xE2\x9C"
                       "a"),
            f + "a");
  EXPECT_EQ(repairUtf8("\xC0\xAF"), f + f);                  // overlong lead, stray continuation
  EXPECT_EQ(repairUtf8("\xED\xA0\x80"), f + f + f);          // surrogate
  EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), f + f + f + f);  // above U+10FFFF
  EXPECT_EQ(repairUtf8("\xF0\x9F\x98"), f);
  EXPECT_EQ(repairUtf8("\x80\x80"), f + f);
}

}  // namespace
}  // namespace mivet::mcp
