#include "MivetBrowserBridge/compact_copy.h"

#include "common/json_reader.h"
#include "common/json_writer.h"
#include "common/unicode_text.h"

#include <gtest/gtest.h>

#include <random>

// Built twice: once as the bridge builds it, once with the portable scan
// that processors without SSE2 use.
#ifdef MIVET_PORTABLE_SCAN
#define COMPACT_COPY_SUITE BridgeCompactCopyPortable
#else
#define COMPACT_COPY_SUITE BridgeCompactCopy
#endif

namespace mivet::bridge {
namespace {

// What JsonWriter writes for `json` once parsed; "" when it does not parse.
std::string writtenByWriter(const std::string& json) {
  auto parser = newJsonParser();
  simdjson::dom::element root;
  if (parser->shallow->parse(json).get(root) != simdjson::SUCCESS) return "";
  std::string out;
  JsonWriter writer(out);
  writer.element(root);
  return out;
}

// Checks both walks against the writer; true when the copy was made.
bool copyMatchesWriter(const std::string& json) {
  const std::string expected = writtenByWriter(json);
  if (expected.empty()) {
    ADD_FAILURE() << "not valid JSON: " << json;
    return false;
  }
  std::string out = "prefix";
  auto end = appendCompactValue(out, json);
  EXPECT_EQ(out, end ? "prefix" + expected : "prefix") << json;
  if (end) {
    EXPECT_EQ(skipJsonSpace(json, *end), json.size()) << json;
  }
  if (auto length = compactValueLength(json)) {
    EXPECT_EQ(json.substr(0, *length), expected) << json;
  } else {
    EXPECT_FALSE(end && expected == json) << "as written, yet refused: " << json;
  }
  return end.has_value();
}

TEST(COMPACT_COPY_SUITE, RewritesWhatTheWriterWritesDifferently) {
  const std::vector<std::string> rewritten = {
      R"({ "a" : [ 1 , 2 ] ,"b":{ } , "c" : [ ] })",
      "\n\t{\"url\":\"https://a.example/x/\",\"esc\":\"\\/ \\\" \\\\ \\b\\f\\n\\r\\t\"}\r\n",
      R"({"u":"\u0041\u00e9\u20ac\u001F\u0000\u0008\u0009\u000a\u000C\u000d\u0022\u005c\u002f"})",
      R"({"lower":"\u001f","upper":"\u001F","A":"\u0041"})",
      R"(["é 東京 🚀 \u2028", true, false, null, -7, 0, 123456789012345678])",
      R"("just a string / with a slash")",
      R"({"deep":[[[[{"x":[{}]}]]]],"last":null})",
  };
  for (const auto& json : rewritten) EXPECT_TRUE(copyMatchesWriter(json)) << json;
}

TEST(COMPACT_COPY_SUITE, GivesUpWhereTheWriterMightDiffer) {
  const std::vector<std::string> refused = {
      R"({"n":1.0})",
      R"({"n":1.5})",
      R"({"n":1e3})",
      R"({"n":-0})",
      R"([1234567890123456789])",
      R"({"s":"\ud83d\ude80"})",
  };
  for (const auto& json : refused) EXPECT_FALSE(copyMatchesWriter(json)) << json;
}

TEST(COMPACT_COPY_SUITE, TakesTextThatIsAlreadyAsWrittenAsItIs) {
  const std::string json =
      R"({"ok":true,"result":{"url":"https:\/\/a\/b","t":"\"q\"\n\u001f é","n":[-1,0,7]}})";
  EXPECT_EQ(compactValueLength(json + "\n{\"more\":1}"), json.size());
  EXPECT_EQ(writtenByWriter(json), json);
  EXPECT_EQ(compactValueLength(R"({"url":"https://a"})"), std::nullopt);
  EXPECT_EQ(compactValueLength(R"({"a": 1})"), std::nullopt);
  EXPECT_EQ(compactValueLength(R"( {"a":1})"), std::nullopt);
  EXPECT_EQ(compactValueLength(R"({"a":"\u00e9"})"), std::nullopt);
}

TEST(COMPACT_COPY_SUITE, GivesUpOnTextThatIsNotJson) {
  for (const std::string bad : {"",
                                "{",
                                "{\"a\":",
                                "{\"a\" 1}",
                                "{\"a\":1,}",
                                "[1,]",
                                "[1 2]",
                                "{1:2}",
                                "{\"a\":tru}",
                                "{\"a\":nul}",
                                "[01]",
                                "[-]",
                                "[+1]",
                                "[1.]",
                                "[\"\\x\"]",
                                "[\"\\u12\"]",
                                "[\"a\tb\"]",
                                "[\"unterminated]",
                                "}",
                                "]",
                                "[}",
                                "{]",
                                "{\"a\":1]",
                                "[[1]",
                                "'a'",
                                "[true false]",
                                "{\"a\":1 \"b\":2}",
                                "{,}",
                                "[,1]",
                                "{\"a\"::1}"}) {
    std::string out;
    EXPECT_EQ(appendCompactValue(out, bad), std::nullopt) << bad;
    EXPECT_EQ(compactValueLength(bad), std::nullopt) << bad;
    EXPECT_EQ(skipValidValue(bad, 0, 512), std::nullopt) << bad;
  }
}

TEST(COMPACT_COPY_SUITE, KeepsToTheLevelsItIsGiven) {
  const std::string deep = std::string(512, '[') + std::string(512, ']');
  std::string out;
  EXPECT_EQ(appendCompactValue(out, deep), deep.size());
  EXPECT_EQ(out, deep);
  EXPECT_EQ(skipValidValue(deep, 0, 511), std::nullopt);
  EXPECT_EQ(skipValidValue("[" + deep + "]", 0, 512), std::nullopt);
  EXPECT_EQ(skipValidValue(std::string(100000, '['), 0, 512), std::nullopt);
}

// Random documents with random spacing, escapes and numbers.
class RandomJson {
 public:
  explicit RandomJson(unsigned seed) : random_(seed) {}

  std::string document() {
    std::string out;
    value(out, 0);
    return out;
  }

 private:
  std::size_t pick(std::size_t count) { return random_() % count; }

  void space(std::string& out) {
    static const char* spaces[] = {"", "", "", " ", "\n", "\t ", "\r\n"};
    out += spaces[pick(7)];
  }

  void string(std::string& out) {
    static const char* pieces[] = {"a",       "Zz",      " ",       "/",
                                   "é",       "東京",    "🚀",       "\\\"",
                                   "\\\\",    "\\/",     "\\n",     "\\t",
                                   "\\b",     "\\u0041", "\\u00e9", "\\u001f",
                                   "\\u001F", "\\u20AC", "\\u2028", "https://x.example/p?q=1",
                                   "\\u0000"};
    out += '"';
    for (std::size_t n = pick(12); n > 0; --n) out += pieces[pick(std::size(pieces))];
    out += '"';
  }

  void scalar(std::string& out) {
    static const char* scalars[] = {"true", "false", "null", "0",    "-12",
                                    "42",   "7.5",   "1e2",  "-0.0", "999999999999999999"};
    if (pick(2) == 0) {
      string(out);
    } else {
      out += scalars[pick(std::size(scalars))];
    }
  }

  void value(std::string& out, int depth) {
    std::size_t kind = depth > 5 ? 2 : pick(3);
    if (kind == 2) return scalar(out);
    const bool object = kind == 0;
    out += object ? '{' : '[';
    for (std::size_t n = pick(5), i = 0; i < n; ++i) {
      if (i > 0) out += ',';
      space(out);
      if (object) {
        string(out);
        space(out);
        out += ':';
        space(out);
      }
      value(out, depth + 1);
      space(out);
    }
    out += object ? '}' : ']';
  }

  std::mt19937 random_;
};

TEST(COMPACT_COPY_SUITE, AgreesWithTheWriterOnRandomDocuments) {
  RandomJson generator(20261209);
  int copied = 0;
  for (int i = 0; i < 3000; ++i) copied += copyMatchesWriter(generator.document()) ? 1 : 0;
  EXPECT_GT(copied, 300);  // the walk really copies, it does not only give up
}

// Whether the strict parser takes `text` as one JSON value.
bool parserAccepts(const std::string& text) {
  auto parser = newJsonParser();
  simdjson::dom::element root;
  return parser->shallow->parse(text).get(root) == simdjson::SUCCESS;
}

TEST(COMPACT_COPY_SUITE, NeverVouchesForTextTheParserRefuses) {
  RandomJson generator(7);
  std::mt19937 random(11);
  const std::string inserts[] = {",",  "]", "}", "[", "{", ":",   "\"",
                                 "\\", "x", "0", "-", " ", "\x01"};
  int vouched = 0, refusedByParser = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text = generator.document();
    if (text.empty()) continue;
    std::size_t at = random() % text.size();
    switch (random() % 3) {
      case 0:
        text.erase(at, 1 + random() % 3);
        break;
      case 1:
        text.insert(at, inserts[random() % std::size(inserts)]);
        break;
      default:
        text[at] = inserts[random() % std::size(inserts)][0];
        break;
    }
    if (!isValidUtf8(text)) continue;  // the callers' part
    std::string out;
    auto end = appendCompactValue(out, text);
    if (!end || skipJsonSpace(text, *end) != text.size()) continue;
    ASSERT_TRUE(parserAccepts(text)) << "vouched for: " << text;
    EXPECT_EQ(out, writtenByWriter(text)) << text;
    ++vouched;
  }
  EXPECT_GT(vouched, 1000);  // the mutations leave plenty of valid text to copy
  for (int i = 0; i < 2000; ++i) refusedByParser += parserAccepts(generator.document()) ? 0 : 1;
  EXPECT_EQ(refusedByParser, 0);  // the generator itself writes valid JSON
}

}  // namespace
}  // namespace mivet::bridge
