// mivet-app-sim driven the way it is used: through mivet-mcp and
// mivet-browser-bridge, as separate processes on a temporary socket.
#include "app_sim/state_file.h"
#include "common/app_socket.h"
#include "tests/app_sim/sim_harness.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>
#include <variant>

namespace mivet::test {
namespace {

class EndToEnd : public ::testing::Test {
 protected:
  TempDir dir;
};

std::string idArguments(const std::string& id, const std::string& more = "") {
  return R"({"id":")" + id + "\"" + more + "}";
}

TEST_F(EndToEnd, TaskLivesThroughEveryToolOfMivetMcp) {
  RunningSim sim(dir);
  McpClient mcp(sim.socketPath(), dir.path());

  auto added = mcp.result("tasks_add", R"({"title":"Write the report","notes":"for Friday"})");
  std::string id = member(added, "id");
  ASSERT_EQ(id.size(), 36u);
  EXPECT_EQ(member(added, "bucket"), "today");
  EXPECT_EQ(taskIds(mcp.result("tasks_list")), std::vector<std::string>{id});

  EXPECT_EQ(member(mcp.result("tasks_complete", idArguments(id)), "bucket"), "completed");
  EXPECT_TRUE(taskIds(mcp.result("tasks_list")).empty());
  EXPECT_EQ(taskIds(mcp.result("tasks_list", R"({"scope":"completed"})")),
            std::vector<std::string>{id});
  mcp.result("tasks_complete", idArguments(id));  // toggles back
  EXPECT_EQ(taskIds(mcp.result("tasks_list")), std::vector<std::string>{id});

  mcp.result("tasks_update_title", idArguments(id, R"(,"title":"Send the report")"));
  EXPECT_EQ(taskTitles(mcp.result("tasks_list")), std::vector<std::string>{"Send the report"});

  std::string second = member(mcp.result("tasks_add", R"({"title":"Second"})"), "id");
  std::string third = member(mcp.result("tasks_add", R"({"title":"Third"})"), "id");
  auto reordered = mcp.result("tasks_reorder", idArguments(third, R"(,"toIndex":0)"));
  std::vector<std::string> expected = {third, id, second};
  EXPECT_EQ(taskIds(reordered), expected);
  EXPECT_EQ(taskIds(mcp.result("tasks_list")), expected);

  mcp.result("tasks_reschedule", idArguments(second, R"(,"dueAt":"tomorrow")"));
  EXPECT_EQ(taskIds(mcp.result("tasks_list")), (std::vector<std::string>{third, id}));
  mcp.result("tasks_reschedule", idArguments(second, R"(,"dueAt":"")"));
  EXPECT_EQ(taskIds(mcp.result("tasks_list")), expected);

  mcp.result("tasks_remove", idArguments(id));
  EXPECT_EQ(taskIds(mcp.result("tasks_list", R"({"scope":"all"})")),
            (std::vector<std::string>{third, second}));
  ToolAnswer again = mcp.call("tasks_remove", idArguments(id));
  EXPECT_TRUE(again.isError);
  EXPECT_NE(again.text.find("no task with id"), std::string::npos) << again.text;
}

TEST_F(EndToEnd, BadArgumentsAndUnknownToolsComeBackAsErrors) {
  RunningSim sim(dir);
  McpClient mcp(sim.socketPath(), dir.path());
  for (const auto& [tool, arguments] : std::vector<std::pair<std::string, std::string>>{
           {"tasks_add", "{}"},
           {"tasks_add", R"({"title":"x","dueAt":"next week"})"},
           {"tasks_list", R"({"scope":"soon"})"},
           {"tasks_reorder", R"({"id":"x","toIndex":"first"})"},
           {"no_such_tool", "{}"}}) {
    ToolAnswer answer = mcp.call(tool, arguments);
    EXPECT_TRUE(answer.isError) << tool << " " << arguments;
    auto error = parseJsonDocument(answer.text);
    ASSERT_TRUE(error) << answer.text;
    EXPECT_FALSE(member(*error, "error").empty()) << answer.text;
    EXPECT_NE(member(*error, "error"), "mivet_app_not_running");
  }
  EXPECT_FALSE(mcp.call("tasks_list").isError);  // still serving
}

TEST_F(EndToEnd, ScheduleTodayReportsOverlappingEvents) {
  writeFile(dir.file("calendar.json"), R"({"events":[
      {"title":"Standup","start":"09:00","end":"09:15"},
      {"title":"Design review","start":"09:10","end":"10:00"},
      {"title":"Lunch","start":"12:00","end":"13:00"}]})");
  RunningSim sim(dir, {"--calendar", dir.file("calendar.json")});
  McpClient mcp(sim.socketPath(), dir.path());
  auto schedule = mcp.result("schedule_today");
  EXPECT_EQ(schedule.root["events"].get_array().size(), 3u);
  simdjson::dom::array conflicts = schedule.root["conflicts"].get_array();
  ASSERT_EQ(conflicts.size(), 1u);
  EXPECT_EQ(std::string_view(conflicts.at(0)["events"].at(1).get_string()), "Design review");
}

TEST_F(EndToEnd, DigestSentThroughTheBridgeIsReadBackThroughMivetMcp) {
#ifndef MIVET_BRIDGE_BINARY
  GTEST_SKIP() << "mivet-browser-bridge is not part of this build";
#else
  RunningSim sim(dir);
  std::string frames =
      nativeFrame(R"({"type":"heartbeat","payload":{"enabledSources":["gmail","slack"]}})") +
      nativeFrame(R"({"type":"digest","payload":{"source":"gmail","unread":3,)"
                  R"("items":[{"from":"Ana","subject":"Quarterly numbers"}]}})") +
      nativeFrame(R"({"type":"ping"})");
  ProcessResult bridge =
      runProcess({MIVET_BRIDGE_BINARY, "--socket", sim.socketPath()}, frames, homeAt(dir.path()));
  auto replies = nativeFrameBodies(bridge.out);
  ASSERT_EQ(replies.size(), 3u) << bridge.out << bridge.err;
  for (const auto& reply : replies)
    EXPECT_NE(reply.find(R"("ok":true)"), std::string::npos) << reply;

  McpClient mcp(sim.socketPath(), dir.path());
  auto digest = mcp.result("browser_check_source", R"({"source":"gmail"})");
  EXPECT_EQ(digest.root["available"].get_bool().value(), true);
  EXPECT_EQ(digest.root["digest"]["unread"].get_int64().value(), 3);
  EXPECT_EQ(std::string_view(digest.root["digest"]["items"].at(0)["subject"].get_string()),
            "Quarterly numbers");
  auto status = mcp.result("browser_status");
  EXPECT_TRUE(status.root["connected"].get_bool().value());
  EXPECT_EQ(status.root["enabledSources"].get_array().size(), 2u);
  EXPECT_FALSE(mcp.result("browser_check_source", R"({"source":"slack"})")
                   .root["available"]
                   .get_bool()
                   .value());
#endif
}

TEST_F(EndToEnd, TasksSurviveARestartAndTheSocketIsRemovedAtExit) {
  std::string id;
  {
    RunningSim sim(dir);
    McpClient mcp(sim.socketPath(), dir.path());
    id = member(mcp.result("tasks_add", R"({"title":"Survivor","dueAt":"2020-05-01"})"), "id");
    mcp.result("tasks_add", R"({"title":"Done already"})");
    ProcessResult stopped = sim.stop(SIGTERM);
    EXPECT_EQ(stopped.exitStatus, 0) << stopped.err;
    EXPECT_FALSE(std::filesystem::exists(sim.socketPath()));
  }
  RunningSim sim(dir);
  McpClient mcp(sim.socketPath(), dir.path());
  auto overdue = mcp.result("tasks_list", R"({"scope":"overdue"})");
  EXPECT_EQ(taskIds(overdue), std::vector<std::string>{id});
  EXPECT_EQ(taskTitles(mcp.result("tasks_list", R"({"scope":"all"})")),
            (std::vector<std::string>{"Survivor", "Done already"}));
  ProcessResult stopped = sim.stop(SIGINT);
  EXPECT_EQ(stopped.exitStatus, 0) << stopped.err;
  EXPECT_FALSE(std::filesystem::exists(sim.socketPath()));
}

TEST_F(EndToEnd, EightClientsAtOnceLoseNothing) {
  constexpr int clients = 8, tasksEach = 10;
  RunningSim sim(dir);
  std::vector<ProcessResult> results(clients);
  std::vector<std::thread> threads;
  for (int client = 0; client < clients; ++client) {
    threads.emplace_back([&, client] {
      std::string session;
      for (int n = 0; n < tasksEach; ++n) {
        std::string title = "client " + std::to_string(client) + " task " + std::to_string(n);
        session += toolCallLine(n + 1, "tasks_add", R"({"title":")" + title + "\"}");
      }
      results[client] =
          runProcess({MIVET_MCP_BINARY, "--socket", sim.socketPath()}, session, homeAt(dir.path()));
    });
  }
  for (auto& thread : threads) thread.join();

  for (const auto& result : results) {
    std::size_t answered = 0;
    std::size_t from = 0;
    for (std::size_t end; (end = result.out.find('\n', from)) != std::string::npos;
         from = end + 1) {
      EXPECT_FALSE(toolAnswerIn(result.out.substr(from, end - from)).isError);
      ++answered;
    }
    EXPECT_EQ(answered, static_cast<std::size_t>(tasksEach));
  }
  McpClient mcp(sim.socketPath(), dir.path());
  auto titles = taskTitles(mcp.result("tasks_list", R"({"scope":"all"})"));
  EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(),
            static_cast<std::size_t>(clients * tasksEach));
  auto saved = sim::loadTasks(dir.file("tasks.json"), sim::currentInstant());
  EXPECT_EQ(saved.tasks().size(), static_cast<std::size_t>(clients * tasksEach));
}

TEST_F(EndToEnd, AnswersARequestWhoseSenderKeepsTheConnectionOpen) {
  RunningSim sim(dir);
  auto connection = connectToAppSocket(sim.socketPath(), 5);
  ASSERT_TRUE(std::holds_alternative<UniqueFd>(connection));
  // The request arrives in two pieces and the sending side stays open.
  int fd = std::get<UniqueFd>(connection).get();
  std::string_view firstPiece = R"({"id":"A","method":"pi)";
  ASSERT_EQ(::write(fd, firstPiece.data(), firstPiece.size()),
            static_cast<ssize_t>(firstPiece.size()));
  auto line = exchangeLine(fd, "ng\",\"params\":{}}\n");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->find(R"({"ok":true,"result":{)"), 0u) << *line;
}

void makeStaleSocketFile(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);  // the file stays behind with nobody listening
}

TEST_F(EndToEnd, ReplacesAStaleSocketButNotALiveOneOrAnOrdinaryFile) {
  makeStaleSocketFile(dir.file("app.sock"));
  RunningSim sim(dir);
  McpClient mcp(sim.socketPath(), dir.path());
  EXPECT_FALSE(mcp.call("tasks_list").isError);

  ProcessResult second = runProcess(simCommand(dir, {}), "", homeAt(dir.path()));
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_NE(second.err.find("already listening"), std::string::npos) << second.err;
  EXPECT_FALSE(mcp.call("tasks_list").isError);  // the first one is undisturbed

  writeFile(dir.file("not-a-socket"), "precious");
  ProcessResult onFile = runProcess({MIVET_APP_SIM_BINARY, "--socket", dir.file("not-a-socket"),
                                     "--state", dir.file("other.json")},
                                    "", homeAt(dir.path()));
  EXPECT_EQ(onFile.exitStatus, 1);
  EXPECT_EQ(readFile(dir.file("not-a-socket")), "precious");
}

TEST_F(EndToEnd, RefusesADamagedStateFileInsteadOfOverwritingIt) {
  writeFile(dir.file("tasks.json"), "{\"tasks\": [ {\"id\": ");
  ProcessResult result = runProcess(simCommand(dir, {}), "", homeAt(dir.path()));
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("tasks.json"), std::string::npos) << result.err;
  EXPECT_EQ(readFile(dir.file("tasks.json")), "{\"tasks\": [ {\"id\": ");
  EXPECT_FALSE(std::filesystem::exists(dir.file("app.sock")));
}

}  // namespace
}  // namespace mivet::test
