#include "common/json_writer.h"

#include "common/json_reader.h"
#include "common/json_stand_ins.h"

#include <gtest/gtest.h>

namespace mivet {
namespace {

std::string rewrite(std::string_view json, JsonStyle style) {
  auto parser = newJsonParser();
  simdjson::dom::element root;
  EXPECT_EQ(parser->shallow->parse(json.data(), json.size()).get(root), simdjson::SUCCESS) << json;
  std::string out;
  JsonWriter writer(out, style);
  writer.element(root);
  EXPECT_FALSE(writer.failed());
  return out;
}

TEST(JsonWriterTest, EscapesLikeThePlatformWriter) {
  EXPECT_EQ(jsonQuoted("a/b"), R"("a\/b")");
  EXPECT_EQ(jsonQuoted("a/b", configFileStyle), R"("a/b")");
  EXPECT_EQ(jsonQuoted("q\"b\\"), R"("q\"b\\")");
  EXPECT_EQ(jsonQuoted("\b\f\n\r\t"), R"("\b\f\n\r\t")");
  EXPECT_EQ(jsonQuoted(std::string("\x01\x1f\x00", 3)), R"("\u0001\u001f\u0000")");
  EXPECT_EQ(jsonQuoted("é ✓ 😀 \x7f"), "\"é ✓ 😀 \x7f\"");
}

TEST(JsonWriterTest, InvalidUtf8FailsTheWriter) {
  std::string out;
  JsonWriter writer(out);
  writer.string("bad \xC3");
  EXPECT_TRUE(writer.failed());
}

TEST(JsonWriterTest, NumbersUseTheShortestFormThatReadsBack) {
  EXPECT_EQ(
      rewrite("[1.0,-0.5,0.1,1e300,12345678901234567,18446744073709551615,-9223372036854775808]",
              compactStyle),
      "[1,-0.5,0.1,1e+300,12345678901234567,18446744073709551615,-9223372036854775808]");
  EXPECT_EQ(rewrite("[0.30000000000000004, 2.5e-8]", compactStyle),
            "[0.30000000000000004,2.5e-08]");
  EXPECT_EQ(rewrite("[1234567345678456789384.291, 1e18, 999999999999999900.0]", compactStyle),
            "[1.2345673456784567e+21,1e+18,999999999999999872]");
  // Negative zero keeps its sign when read back.
  EXPECT_EQ(rewrite("[-0.0,-0,0.0]", compactStyle), "[-0.0,0,0]");
}

TEST(JsonWriterTest, SortsKeysByCodePointAtEveryDepth) {
  EXPECT_EQ(rewrite(R"({"b":{"z":1,"a":[{"y":1,"x":2}]},"B":0,"é":1,"a":true})", sortedStyle),
            R"({"B":0,"a":true,"b":{"a":[{"x":2,"y":1}],"z":1},"é":1})");
  EXPECT_EQ(rewrite(R"({"b":1,"a":2})", compactStyle), R"({"b":1,"a":2})");
}

TEST(JsonWriterTest, PrettyPrintsOneMemberPerLine) {
  EXPECT_EQ(rewrite(R"({"b":[1,{}],"a":{"p":"x/y"},"c":[]})", configFileStyle),
            "{\n  \"a\" : {\n    \"p\" : \"x/y\"\n  },\n  \"b\" : [\n    1,\n    {}\n  ],\n"
            "  \"c\" : []\n}");
}

TEST(JsonWriterTest, StreamsNestedValues) {
  std::string out;
  JsonWriter writer(out);
  writer.beginObject();
  writer.key("a");
  writer.beginArray();
  writer.null();
  writer.boolean(false);
  writer.number(std::int64_t{-3});
  writer.raw(R"({"x":1})");
  writer.endArray();
  writer.key("b");
  writer.string("");
  writer.endObject();
  EXPECT_EQ(out, R"({"a":[null,false,-3,{"x":1}],"b":""})");
}

TEST(JsonReaderTest, AcceptsDepth512AndRejectsDeeper) {
  auto parser = newJsonParser();
  auto nested = [](std::size_t depth) {
    return "{\"a\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
  };
  auto holding = [](std::size_t depth, std::string_view inner) {
    return "{\"a\":" + std::string(depth - 1, '[') + std::string(inner) +
           std::string(depth - 1, ']') + "}";
  };
  EXPECT_TRUE(parseJsonObject(*parser, nested(512)));
  EXPECT_FALSE(parseJsonObject(*parser, nested(513)));
  EXPECT_TRUE(parseJsonObject(*parser, holding(512, "7")));
  EXPECT_TRUE(parseJsonObject(*parser, holding(512, "\"[[[{\"")));
  EXPECT_FALSE(parseJsonObject(*parser, holding(512, "{}")));
  EXPECT_FALSE(parseJsonObject(*parser, holding(513, "7")));
  EXPECT_FALSE(parseJsonObject(*parser, nested(100000)));
  // Also where the parser needs stand-ins: a number too large, or rounded to zero.
  for (std::string number : {"1e400", "1e-400"}) {
    auto withNumber = [&](std::size_t depth) {
      return "{\"a\":" + number + ",\"b\":" + std::string(depth - 1, '[') +
             std::string(depth - 1, ']') + "}";
    };
    EXPECT_TRUE(parseJsonObject(*parser, withNumber(512))) << number;
    EXPECT_FALSE(parseJsonObject(*parser, withNumber(513))) << number;
  }
  // The limit survives the parser growing for a larger document.
  std::string big = "{\"pad\":\"" + std::string(1 << 20, 'x') +
                    "\",\"d\":" + std::string(600, '[') + std::string(600, ']') + "}";
  EXPECT_FALSE(parseJsonObject(*parser, big));
}

TEST(JsonReaderTest, RequiresOneObject) {
  auto parser = newJsonParser();
  EXPECT_FALSE(parseJsonObject(*parser, "[1]"));
  EXPECT_FALSE(parseJsonObject(*parser, "\"s\""));
  EXPECT_FALSE(parseJsonObject(*parser, "{} {}"));
  EXPECT_FALSE(parseJsonObject(*parser, "{\"a\":\"\xC3\"}"));
  EXPECT_TRUE(parseJsonObject(*parser, " {\"a\":1} \t"));
}

TEST(JsonReaderTest, ValidJsonBeyondThe64BitAndDoubleRangesReadsAndWritesBackExactly) {
  // Each text comes back byte for byte, or as the second text where one is given.
  const std::pair<std::string, std::string> cases[] = {
      {R"({"big":[-12345678901234567890123,1e400,18446744073709551616,-2.5E+999]})", ""},
      // Rounded to zero by the parser, yet not zero.
      {R"({"tiny":[1e-400,-2.5E-400,4.5E-99999,0.)" + std::string(400, '0') + "1]}", ""},
      // Zeros as written stay zeros.
      {R"({"zero":[0e-400,0.000e5,-0.0,-0e-400,0.0]})", R"({"zero":[0,0,-0.0,-0.0,0]})"},
      {R"({"s":["\ud800","x\udfffy","\ud83d\ude00","\ue000\ud801\ue7ff"],"\udc01":true})",
       R"({"s":["\ud800","x\udfffy","😀",")"
       "\uE000"
       R"(\ud801)"
       "\uE7FF"
       R"("],"\udc01":true})"},
      // Literal U+E000 next to escaped surrogates: in both orders, in keys and values, and
      // before two escapes, where it must still count once.
      {"{\"\uE000\\ud800\":\"\\udbff\uE000\",\"\\udc00\uE000\":[\"\uE000\\ud800\uE000\"]}", ""},
      {"{\"a\":\"\uE000\\ud800\\ud801\"}", ""},
  };
  auto parser = newJsonParser();
  for (const auto& [text, expected] : cases) {
    auto object = parseJsonObject(*parser, text);
    ASSERT_TRUE(object) << text;
    std::string out;
    JsonWriter writer(out);
    writer.element(*object);
    EXPECT_FALSE(writer.failed()) << text;
    EXPECT_EQ(out, expected.empty() ? text : expected);
  }
  auto object = parseJsonObject(*parser, R"({"s":"x\uDFFFy","n":1e400})");
  EXPECT_EQ(jsonString((*object)["s"].value()), "x\xED\xBF\xBFy");
  EXPECT_EQ(jsonString((*object)["n"].value()), std::nullopt);
}

TEST(JsonReaderTest, StandInsAreRewrittenInTheParsersOwnStorage) {
  // What the stand-ins rely on: a parsed string is a view of storage that the
  // parser owns, read as it is after a rewrite, not of the text or of a copy.
  const std::string text = R"(["~1e400","\ue000"])";
  simdjson::dom::parser parser;
  simdjson::dom::element root = parser.parse(text).value();
  detail::restoreStandIns(root, {{0, true, {}}, {1, false, {0}}});
  EXPECT_EQ(root.at(0).get_string().value(),
            "\xFF"
            "1e400");
  EXPECT_EQ(root.at(1).get_string().value(), "\xED\xA0\x80");
  EXPECT_EQ(text, R"(["~1e400","\ue000"])");
}

TEST(JsonReaderTest, InvalidJsonStaysInvalidAroundUnusualValues) {
  auto parser = newJsonParser();
  for (const char* text :
       {R"({"a":01e400})", R"({12345678901234567890123:1})", R"({"a":1e400)", R"({"a":"\ud800})",
        R"({"a":"\ud80"})", R"({"a":-})", R"({"a":1e400 2})", R"({"a":[1e400,]})",
        R"({"a":1,1e400:2})", R"({"a":1.e400})", R"({"a":[1e-400 1]})"}) {
    EXPECT_FALSE(parseJsonObject(*parser, text)) << text;
  }
}

}  // namespace
}  // namespace mivet
