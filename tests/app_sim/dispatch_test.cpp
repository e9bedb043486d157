// Requests answered in-process, as the socket server hands them over.
#include "app_sim/dispatch.h"

#include "common/json_reader.h"
#include "tests/app_sim/local_zone.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace mivet::sim {
namespace {

using namespace std::chrono;

class Dispatch : public ::testing::Test {
 protected:
  Dispatch() {
    app.statePath = dir.file("tasks.json");
    app.clock = [this] { return clockNow; };
  }

  // The answer as a document; the test fails unless it is one compact line.
  JsonDocument ask(const std::string& method, const std::string& params = "{}") {
    return answerTo(R"({"id":"1","method":")" + method + R"(","params":)" + params + "}");
  }
  JsonDocument answerTo(const std::string& line) {
    std::string answer = answerRequest(app, line);
    EXPECT_EQ(answer.find('\n'), std::string::npos) << answer;
    auto document = parseJsonDocument(answer);
    EXPECT_TRUE(document) << answer;
    return document ? std::move(*document) : *parseJsonDocument("{}");
  }
  static bool ok(const JsonDocument& answer) {
    bool value = false;
    return answer.root["ok"].get_bool().get(value) == simdjson::SUCCESS && value;
  }
  static std::string error(const JsonDocument& answer) {
    return std::string(stringMember(answer.root, "error").value_or(""));
  }
  static std::string resultText(const JsonDocument& answer, const char* key) {
    std::string_view text;
    std::ignore = answer.root["result"][key].get_string().get(text);
    return std::string(text);
  }

  test::LocalZone zone{test::plusTwoHours};
  test::TempDir dir;
  App app;
  Instant clockNow = Instant{sys_days{year{2025} / 3 / 14}} + hours{10};
};

TEST_F(Dispatch, EveryUnusableLineGetsAnErrorAnswer) {
  for (const char* line : {"", "garbage", "[1,2]", R"("tasks_list")", R"({"params":{}})",
                           R"({"method":7})", R"({"method":""})", R"({"method":"tasks_purge"})",
                           R"({"method":"mivet_app_not_running"})"}) {
    JsonDocument answer = answerTo(line);
    EXPECT_FALSE(ok(answer)) << line;
    EXPECT_FALSE(error(answer).empty()) << line;
    EXPECT_NE(error(answer), "mivet_app_not_running") << line;
  }
  EXPECT_EQ(error(answerTo(R"({"method":"tasks_purge"})")), "unknown method 'tasks_purge'");
}

TEST_F(Dispatch, ParamsThatAreMissingOrNotAnObjectCountAsEmpty) {
  EXPECT_TRUE(ok(answerTo(R"({"method":"tasks_list"})")));
  EXPECT_TRUE(ok(answerTo(R"({"method":"tasks_list","params":[1]})")));
  EXPECT_EQ(error(answerTo(R"({"method":"tasks_add","params":"title"})")),
            "missing required argument \"title\"");
}

TEST_F(Dispatch, BadArgumentsAreNamedInTheError) {
  struct Case {
    const char* method;
    const char* params;
    const char* named;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"tasks_add", "{}", "\"title\""},
           {"tasks_add", R"({"title":"   "})", "\"title\""},
           {"tasks_add", R"({"title":42})", "\"title\""},
           {"tasks_add", R"({"title":"x","dueAt":"next week"})", "\"dueAt\""},
           {"tasks_add", R"({"title":"x","dueAt":5})", "\"dueAt\""},
           {"tasks_add", R"({"title":"x","autoExtracted":"yes"})", "\"autoExtracted\""},
           {"tasks_add", R"({"title":"x","notes":["a"]})", "\"notes\""},
           {"tasks_list", R"({"scope":"later"})", "\"scope\""},
           {"tasks_list", R"({"scope":1})", "\"scope\""},
           {"tasks_complete", "{}", "\"id\""},
           {"tasks_update_title", R"({"id":"x"})", "\"title\""},
           {"tasks_reorder", R"({"id":"x"})", "\"toIndex\""},
           {"tasks_reorder", R"({"id":"x","toIndex":1.5})", "\"toIndex\""},
           {"tasks_reorder", R"({"id":"x","toIndex":1,"overdue":"no"})", "\"overdue\""},
           {"tasks_reschedule", R"({"id":"x","dueAt":"2025-02-30"})", "\"dueAt\""},
           {"tasks_remove", R"({"id":null})", "\"id\""},
           {"browser_check_source", "{}", "\"source\""},
           {"browser_ingest_digest", R"({"items":[]})", "\"source\""}}) {
    JsonDocument answer = ask(c.method, c.params);
    EXPECT_FALSE(ok(answer)) << c.method << " " << c.params;
    EXPECT_NE(error(answer).find(c.named), std::string::npos)
        << c.method << " " << c.params << ": " << error(answer);
  }
  EXPECT_TRUE(ok(ask("tasks_list")));  // nothing above changed anything
  EXPECT_EQ(ask("tasks_list", R"({"scope":"all"})").root["result"]["count"].get_int64().value(), 0);
}

TEST_F(Dispatch, WholeNumbersWrittenWithAFractionAreIndexes) {
  std::string first = resultText(ask("tasks_add", R"({"title":"one"})"), "id");
  ask("tasks_add", R"({"title":"two"})");
  JsonDocument moved = ask("tasks_reorder", R"({"id":")" + first + R"(","toIndex":1.0})");
  EXPECT_TRUE(ok(moved)) << error(moved);
}

TEST_F(Dispatch, AFailedSaveLeavesTheListAsItWas) {
  test::writeFile(dir.file("blocker"), "a file where a directory should be");
  app.statePath = dir.file("blocker/tasks.json");
  JsonDocument answer = ask("tasks_add", R"({"title":"Lost?"})");
  EXPECT_FALSE(ok(answer));
  EXPECT_NE(error(answer).find("blocker"), std::string::npos) << error(answer);
  EXPECT_EQ(ask("tasks_list").root["result"]["count"].get_int64().value(), 0);
}

TEST_F(Dispatch, AddedTaskCarriesItsArgumentsAndIsSaved) {
  JsonDocument added = ask("tasks_add", R"({"title":"  Review PR 12 ","dueAt":"2025-03-13",)"
                                        R"("deepLink":"https://x.test/12","source":"github",)"
                                        R"("autoExtracted":true})");
  ASSERT_TRUE(ok(added)) << error(added);
  EXPECT_EQ(resultText(added, "title"), "Review PR 12");
  EXPECT_EQ(resultText(added, "bucket"), "overdue");
  EXPECT_EQ(resultText(added, "dueAt"), "2025-03-13");
  EXPECT_EQ(resultText(added, "deepLink"), "https://x.test/12");
  EXPECT_EQ(resultText(added, "source"), "github");
  EXPECT_TRUE(added.root["result"]["autoExtracted"].get_bool().value());
  EXPECT_NE(test::readFile(app.statePath).find(resultText(added, "id")), std::string::npos);
}

TEST_F(Dispatch, ScheduleListsTodaysEventsInOrderWithConflicts) {
  test::writeFile(dir.file("calendar.json"), R"({"events":[
      {"title":"Lunch","start":"12:00","end":"13:00","location":"Canteen"},
      {"title":"Yesterday","start":"2025-03-13T09:00:00+02:00","end":"2025-03-13T10:00:00+02:00"},
      {"title":"Planning","start":"2025-03-14T08:00:00Z","end":"2025-03-14T11:00:00Z"},
      {"title":"Standup","start":"10:30","end":"10:45"},
      {"title":"Back to back","start":"13:00","end":"13:30"}]})");
  app.calendarPath = dir.file("calendar.json");
  JsonDocument answer = ask("schedule_today");
  ASSERT_TRUE(ok(answer)) << error(answer);
  EXPECT_EQ(resultText(answer, "date"), "2025-03-14");
  std::vector<std::string> titles;
  for (auto event : answer.root["result"]["events"].get_array()) {
    titles.emplace_back(std::string_view(event["title"].get_string()));
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"Planning", "Standup", "Lunch", "Back to back"}));
  simdjson::dom::array conflicts = answer.root["result"]["conflicts"].get_array();
  ASSERT_EQ(conflicts.size(), 2u);  // Planning (10:00-13:00 local) meets Standup and Lunch
  EXPECT_EQ(std::string_view(conflicts.at(0)["overlapStart"].get_string()),
            "2025-03-14T10:30:00+02:00");
  EXPECT_EQ(std::string_view(conflicts.at(0)["overlapEnd"].get_string()),
            "2025-03-14T10:45:00+02:00");
  EXPECT_EQ(std::string_view(conflicts.at(1)["events"].at(1).get_string()), "Lunch");
}

TEST_F(Dispatch, ScheduleWithABrokenCalendarIsAnErrorAndWithoutOneIsEmpty) {
  EXPECT_EQ(ask("schedule_today").root["result"]["events"].get_array().size(), 0u);
  test::writeFile(dir.file("calendar.json"), R"({"events":[{"title":"x","start":"9am"}]})");
  app.calendarPath = dir.file("calendar.json");
  EXPECT_FALSE(ok(ask("schedule_today")));
  app.calendarPath = dir.file("missing.json");
  EXPECT_NE(error(ask("schedule_today")).find("missing.json"), std::string::npos);
}

TEST_F(Dispatch, BrowserStatusFollowsHeartbeatsAndDigests) {
  EXPECT_FALSE(ask("browser_status").root["result"]["connected"].get_bool().value());
  ask("browser_heartbeat", R"({"sources":{"gmail":true,"slack":false,"canvas":true}})");
  ask("browser_ingest_digest", R"({"source":"Slack","n":1})");
  clockNow += seconds{30};
  ask("browser_ingest_digest", R"({"source":"slack","n":2})");

  JsonDocument status = ask("browser_status");
  EXPECT_TRUE(status.root["result"]["connected"].get_bool().value());
  EXPECT_EQ(status.root["result"]["secondsSinceHeartbeat"].get_int64().value(), 30);
  simdjson::dom::array sources = status.root["result"]["enabledSources"].get_array();
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(std::string_view(sources.at(1).get_string()), "canvas");

  JsonDocument digest = ask("browser_check_source", R"({"source":"SLACK"})");
  EXPECT_EQ(digest.root["result"]["digest"]["n"].get_int64().value(), 2);
  EXPECT_FALSE(ask("browser_check_source", R"({"source":"gmail"})")
                   .root["result"]["available"]
                   .get_bool()
                   .value());

  clockNow += heartbeatFreshFor;
  EXPECT_FALSE(ask("browser_status").root["result"]["connected"].get_bool().value());
}

TEST_F(Dispatch, PingAnswersForTheBridge) {
  EXPECT_TRUE(ask("ping").root["result"]["pong"].get_bool().value());
}

}  // namespace
}  // namespace mivet::sim
