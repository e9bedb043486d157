#include "mcp/app_connection/socket_config.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace mivet::mcp {
namespace {

TEST(SocketConfigTest, FirstSocketOptionWithAValueWins) {
  setenv("HOME", "/home/u", 1);
  auto config = resolveSocketConfig({"mivet-mcp", "--socket", "/a.sock", "--socket", "/b.sock"});
  EXPECT_EQ(config.path, "/a.sock");
  EXPECT_FALSE(config.isDefault);
  config = resolveSocketConfig({"mivet-mcp", "--socket", "-x"});
  EXPECT_EQ(config.path, "-x");
  config = resolveSocketConfig({"mivet-mcp", "--socket", ""});
  EXPECT_EQ(config.path, "");
  EXPECT_FALSE(config.isDefault);
}

TEST(SocketConfigTest, DefaultSocketUnderTheHomeDirectory) {
  setenv("HOME", "/home/u", 1);
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"mivet-mcp"},
                                             {"mivet-mcp", "--socket"},
                                             {"mivet-mcp", "--socket=/x"},
                                             {"mivet-mcp", "--Socket", "/x"}}) {
    auto config = resolveSocketConfig(arguments);
    EXPECT_EQ(config.path, "/home/u/Library/Application Support/Mivet/ipc.sock");
    EXPECT_TRUE(config.isDefault);
  }
}

}  // namespace
}  // namespace mivet::mcp
