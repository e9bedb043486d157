#include "MivetBrowserBridge/in_place_json.h"

#include "common/json_reader.h"

#include <gtest/gtest.h>

namespace mivet::bridge {
namespace {

// {"a":[...]} with `containers` objects and arrays in all, around `inner`.
std::string nested(std::size_t containers, const std::string& inner) {
  return "{\"a\":" + std::string(containers - 2, '[') + inner + std::string(containers - 2, ']') +
         "}";
}

// Parsed in place (room for the padding) and from a string without that room.
std::pair<bool, bool> accepted(const std::string& json) {
  ObjectParsers parsers = newObjectParsers();
  std::string padded;
  padded.reserve(json.size() + simdjson::SIMDJSON_PADDING);
  padded = json;
  std::string tight = json;
  tight.shrink_to_fit();
  return {parseObjectInPlace(parsers, padded).has_value(),
          parseObjectInPlace(parsers, tight).has_value()};
}

TEST(BridgeStrictParse, AllowsExactly512LevelsOfObjectsAndArrays) {
  for (const std::string inner : {"[]", "[1]", "{}", R"({"k":"v"})"}) {
    SCOPED_TRACE(inner);
    EXPECT_EQ(accepted(nested(512, inner)), std::make_pair(true, true));
    EXPECT_EQ(accepted(nested(513, inner)), std::make_pair(false, false));
  }
  EXPECT_EQ(accepted(nested(100000, "[]")), std::make_pair(false, false));
}

TEST(BridgeStrictParse, AgreesWithTheCommonReaderAfterADeepText) {
  ObjectParsers parsers = newObjectParsers();
  std::string deep = nested(512, "[1]");
  auto object = parseObjectInPlace(parsers, deep);
  ASSERT_TRUE(object.has_value());
  std::string next = R"({"type":"ping","n":[1,2]})";
  auto message = parseObjectInPlace(parsers, next);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(stringMember(*message, "type"), "ping");
}

TEST(BridgeStrictParse, RefusesWhatIsNotAJsonObject) {
  for (const std::string json : {"[1,2]", "\"text\"", "42", "null", "{\"a\":", "{} {}",
                                 "{\"a\":1,}", "{\"a\":\"\xC3\x28\"}", "{'a':1}", "", " "}) {
    EXPECT_EQ(accepted(json), std::make_pair(false, false)) << json;
  }
  EXPECT_EQ(accepted(" {\"a\":[]} \n"), std::make_pair(true, true));
}

}  // namespace
}  // namespace mivet::bridge
