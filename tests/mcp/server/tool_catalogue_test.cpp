#include "mcp/server/tool_catalogue.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

namespace mivet::mcp {
namespace {

// Follows `path` of object keys from `start`; fails the test when one is missing.
simdjson::dom::element at(simdjson::dom::element start,
                          std::initializer_list<std::string_view> path) {
  simdjson::dom::element current = start;
  for (auto key : path) {
    simdjson::dom::element next;
    if (current.at_key(key).get(next) != simdjson::SUCCESS) {
      ADD_FAILURE() << "missing " << key;
      return current;
    }
    current = next;
  }
  return current;
}

bool has(simdjson::dom::element object, std::string_view key) {
  simdjson::dom::element ignored;
  return object.at_key(key).get(ignored) == simdjson::SUCCESS;
}

std::vector<std::string> strings(simdjson::dom::element array) {
  std::vector<std::string> result;
  simdjson::dom::array items;
  EXPECT_EQ(array.get(items), simdjson::SUCCESS);
  for (auto item : items) result.emplace_back(std::string_view(item));
  return result;
}

std::size_t memberCount(simdjson::dom::element object) {
  simdjson::dom::object members;
  EXPECT_EQ(object.get(members), simdjson::SUCCESS);
  return members.size();
}

class ToolCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(parser.parse(toolDefinitions()).get(catalogue), simdjson::SUCCESS);
  }

  simdjson::dom::element tool(std::string_view name) {
    for (auto t : catalogue) {
      if (std::string_view(t["name"]) == name) return t;
    }
    ADD_FAILURE() << "no tool " << name;
    return catalogue.at(0).value_unsafe();
  }

  simdjson::dom::element property(std::string_view name, std::string_view argument) {
    return at(tool(name), {"inputSchema", "properties", argument});
  }

  simdjson::dom::parser parser;
  simdjson::dom::array catalogue;
};

TEST_F(ToolCatalogueTest, TenToolsInTheirFixedOrder) {
  std::vector<std::string> names;
  for (auto t : catalogue) names.emplace_back(std::string_view(t["name"]));
  EXPECT_EQ(names, (std::vector<std::string>{"tasks_add", "tasks_list", "tasks_complete",
                                             "tasks_update_title", "tasks_reschedule",
                                             "tasks_reorder", "tasks_remove", "schedule_today",
                                             "browser_status", "browser_check_source"}));
  for (auto t : catalogue) {
    EXPECT_EQ(memberCount(t), 3u);
    EXPECT_EQ(std::string_view(at(t, {"inputSchema", "type"})), "object");
  }
}

TEST_F(ToolCatalogueTest, RequiredListsOnlyWhereArgumentsAreRequired) {
  for (auto name : {"tasks_list", "schedule_today", "browser_status"}) {
    EXPECT_FALSE(has(at(tool(name), {"inputSchema"}), "required")) << name;
  }
  auto required = [&](std::string_view name) {
    return strings(at(tool(name), {"inputSchema", "required"}));
  };
  EXPECT_EQ(required("tasks_add"), std::vector<std::string>{"title"});
  EXPECT_EQ(required("tasks_update_title"), (std::vector<std::string>{"id", "title"}));
  EXPECT_EQ(required("tasks_reorder"), (std::vector<std::string>{"id", "toIndex"}));
  EXPECT_EQ(required("browser_check_source"), std::vector<std::string>{"source"});
  EXPECT_EQ(memberCount(at(tool("schedule_today"), {"inputSchema", "properties"})), 0u);
  EXPECT_EQ(memberCount(at(tool("browser_status"), {"inputSchema", "properties"})), 0u);
  EXPECT_EQ(memberCount(at(tool("tasks_add"), {"inputSchema", "properties"})), 8u);
}

TEST_F(ToolCatalogueTest, ArgumentTypesEnumsAndDescriptions) {
  auto text = [](simdjson::dom::element e, std::string_view key) {
    return std::string(std::string_view(at(e, {key})));
  };
  EXPECT_EQ(text(property("tasks_reorder", "toIndex"), "type"), "integer");
  EXPECT_EQ(text(property("tasks_reorder", "overdue"), "type"), "boolean");
  EXPECT_EQ(text(property("tasks_add", "autoExtracted"), "type"), "boolean");
  EXPECT_EQ(text(property("tasks_add", "deepLink"), "type"), "string");
  EXPECT_EQ(text(property("tasks_reorder", "id"), "description"), "Task id.");
  EXPECT_EQ(text(property("tasks_remove", "id"), "description"),
            "Task id from tasks_list or tasks_add.");
  EXPECT_EQ(strings(at(property("tasks_list", "scope"), {"enum"})),
            (std::vector<std::string>{"today", "overdue", "stale", "completed", "all"}));
  auto source = property("browser_check_source", "source");
  EXPECT_EQ(strings(at(source, {"enum"})),
            (std::vector<std::string>{"gmail", "canvas", "outlook", "slack"}));
  EXPECT_FALSE(has(source, "description"));
}

}  // namespace
}  // namespace mivet::mcp
