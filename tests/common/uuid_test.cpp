#include "common/uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace mivet {
namespace {

// More UUIDs than one refill of the random pool gives, so refills are crossed.
TEST(UuidTest, CanonicalUpperCaseVersion4AndDistinct) {
  const std::regex canonical("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string uuid = newUpperCaseUUID();
    EXPECT_TRUE(std::regex_match(uuid, canonical)) << uuid;
    seen.insert(uuid);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace mivet
