#include "mcp/registration/toml_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mivet::mcp {
namespace {

TEST(CodexEditProblem, NamesTheFirstKeyAddedRemovedOrChangedOutsideTheServer) {
  struct Row {
    std::string before, after;
    std::optional<std::string> problem;
  };
  for (const Row& row : std::vector<Row>{
           {"a = 1\n", "a = 1\nb = 2\n", "it would also change the value of b"},
           {"a = 1\nb = 2\n", "a = 1\n", "it would also change the value of b"},
           {"a = 1\n", "a = 2\n", "it would also change the value of a"},
           {"[t]\nx = 1\n", "[t]\nx = 1\ny = [2]\n", "it would also change the value of t.y"},
           {"a = 1\n", "a = 1\n[mcp_servers.mivet]\ncommand = \"x\"\n", std::nullopt},
           {"[mcp_servers.mivet]\ncommand = \"x\"\n[b]\n", "[b]\n", std::nullopt},
           {"this is = = not toml\n", "a = 1\n", std::nullopt},
       }) {
    EXPECT_EQ(codexEditProblem(row.before, row.after), row.problem) << row.before << row.after;
  }
  auto invalid = codexEditProblem("a = 1\n", "a = \n");
  ASSERT_TRUE(invalid);
  EXPECT_TRUE(invalid->starts_with("it would become invalid TOML (")) << *invalid;
}

}  // namespace
}  // namespace mivet::mcp
