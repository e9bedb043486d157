#include "app_sim/task_store.h"

#include "app_sim/bad_request.h"
#include "app_sim/state_file.h"
#include "tests/app_sim/local_zone.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace mivet::sim {
namespace {

using namespace std::chrono;

// Noon on 2025-03-14 in the test's zone.
const Instant now = Instant{sys_days{year{2025} / 3 / 14}} + hours{10};
const Day today = year{2025} / 3 / 14;

Task task(std::string id, std::optional<DueDate> due = std::nullopt) {
  Task t;
  t.id = id;
  t.title = "Task " + id;
  t.due = due;
  t.createdAt = t.updatedAt = now - hours{1};
  return t;
}

Day daysFromToday(int offset) {
  return Day{sys_days{today} + days{offset}};
}

std::vector<std::string> ids(const std::vector<Task>& tasks) {
  std::vector<std::string> result;
  for (const auto& t : tasks) result.push_back(t.id);
  return result;
}

using Ids = std::vector<std::string>;

class TaskStoreTest : public ::testing::Test {
 protected:
  test::LocalZone zone{test::plusTwoHours};
};

TEST_F(TaskStoreTest, BucketsFollowTheDueDay) {
  Task done = task("done");
  done.completed = true;
  done.due = daysFromToday(-3);
  EXPECT_EQ(bucketOf(task("none"), today), Bucket::today);
  EXPECT_EQ(bucketOf(task("d0", daysFromToday(0)), today), Bucket::today);
  EXPECT_EQ(bucketOf(task("earlier", now - hours{5}), today), Bucket::today);
  EXPECT_EQ(bucketOf(task("d-1", daysFromToday(-1)), today), Bucket::overdue);
  EXPECT_EQ(bucketOf(task("d+1", daysFromToday(1)), today), Bucket::upcoming);
  EXPECT_EQ(bucketOf(done, today), Bucket::completed);
}

TEST_F(TaskStoreTest, ListsKeepThePriorityOrderWithinEachScope) {
  TaskStore store({task("A"), task("X", daysFromToday(-2)), task("B", daysFromToday(0)),
                   task("U", daysFromToday(4)), task("Y", daysFromToday(-1))});
  store.toggleCompleted("B", now);
  EXPECT_EQ(ids(store.list(Scope::today, now)), Ids{"A"});
  EXPECT_EQ(ids(store.list(Scope::overdue, now)), (Ids{"X", "Y"}));
  EXPECT_EQ(ids(store.list(Scope::completed, now)), Ids{"B"});
  EXPECT_EQ(ids(store.list(Scope::all, now)), (Ids{"A", "X", "B", "U", "Y"}));
}

TEST_F(TaskStoreTest, StaleMeansOpenAndUntouchedForAWeek) {
  Task old = task("old");
  old.updatedAt = now - staleAfter;
  Task recent = task("recent");
  recent.updatedAt = now - staleAfter + hours{1};
  Task oldDone = task("oldDone");
  oldDone.updatedAt = now - days{30};
  oldDone.completed = true;
  TaskStore store({old, recent, oldDone});
  EXPECT_EQ(ids(store.list(Scope::stale, now)), Ids{"old"});
  store.rename("old", "Fresh again", now);
  EXPECT_TRUE(store.list(Scope::stale, now).empty());
}

TEST_F(TaskStoreTest, CompletingTogglesAndRecordsWhen) {
  TaskStore store({task("A")});
  const Task& done = store.toggleCompleted("A", now);
  EXPECT_TRUE(done.completed);
  EXPECT_EQ(done.completedAt, now);
  const Task& reopened = store.toggleCompleted("a", now + hours{1});  // ids ignore case
  EXPECT_FALSE(reopened.completed);
  EXPECT_FALSE(reopened.completedAt);
  EXPECT_EQ(reopened.updatedAt, now + hours{1});
}

TEST_F(TaskStoreTest, ReorderPermutesOneBucketAndLeavesTheOthersInPlace) {
  TaskStore store({task("A"), task("X", daysFromToday(-1)), task("B"), task("C"),
                   task("Y", daysFromToday(-1))});
  EXPECT_EQ(ids(store.reorder("C", std::nullopt, 0, now)), (Ids{"C", "A", "B"}));
  EXPECT_EQ(ids(store.tasks()), (Ids{"C", "X", "A", "B", "Y"}));
  EXPECT_EQ(ids(store.reorder("C", Bucket::today, 2, now)), (Ids{"A", "B", "C"}));
  EXPECT_EQ(ids(store.reorder("Y", Bucket::overdue, 0, now)), (Ids{"Y", "X"}));
  EXPECT_EQ(ids(store.tasks()), (Ids{"A", "Y", "B", "C", "X"}));
}

TEST_F(TaskStoreTest, ImpossibleMovesAreRefusedAndChangeNothing) {
  Task done = task("D");
  done.completed = true;
  TaskStore store(
      {task("A"), task("B"), task("X", daysFromToday(-1)), task("U", daysFromToday(2)), done});
  const Ids before = ids(store.tasks());
  EXPECT_THROW(store.reorder("A", std::nullopt, 2, now), BadRequest);
  EXPECT_THROW(store.reorder("A", std::nullopt, -1, now), BadRequest);
  EXPECT_THROW(store.reorder("A", Bucket::overdue, 0, now), BadRequest);
  EXPECT_THROW(store.reorder("U", std::nullopt, 0, now), BadRequest);
  EXPECT_THROW(store.reorder("D", std::nullopt, 0, now), BadRequest);
  EXPECT_THROW(store.reorder("missing", std::nullopt, 0, now), BadRequest);
  EXPECT_EQ(ids(store.tasks()), before);
  try {
    store.reorder("A", std::nullopt, 5, now);
  } catch (const BadRequest& error) {
    EXPECT_STREQ(error.what(), "toIndex 5 is out of range: Today holds 2 task(s), so use 0 to 1");
  }
}

TEST_F(TaskStoreTest, RescheduleMovesBetweenBucketsAndClearing) {
  TaskStore store({task("A")});
  store.reschedule("A", DueDate{daysFromToday(-1)}, now);
  EXPECT_EQ(ids(store.list(Scope::overdue, now)), Ids{"A"});
  store.reschedule("A", std::nullopt, now);
  EXPECT_EQ(ids(store.list(Scope::today, now)), Ids{"A"});
}

TEST_F(TaskStoreTest, RemoveTakesOnlyThatTask) {
  TaskStore store({task("A"), task("B"), task("C")});
  EXPECT_EQ(store.remove("B").id, "B");
  EXPECT_EQ(ids(store.tasks()), (Ids{"A", "C"}));
  EXPECT_THROW(store.remove("B"), BadRequest);
  EXPECT_THROW(store.find("B"), BadRequest);
}

TEST_F(TaskStoreTest, StateFileKeepsEveryFieldAndTheOrder) {
  test::TempDir dir;
  Task full = task("F", DueDate{now + hours{30}});
  full.notes = "line one\nline two";
  full.sourceContext = "repo/mivet";
  full.excerpt = "Ünïcödé";
  full.deepLink = "https://example.com/a?b=c";
  full.source = "github";
  full.autoExtracted = true;
  full.completed = true;
  full.completedAt = now;
  TaskStore store({task("Z", DueDate{daysFromToday(-5)}), full, task("A")});
  std::string path = dir.file("nested/dir/tasks.json");
  saveTasks(path, store);

  TaskStore loaded = loadTasks(path, now + days{100});
  ASSERT_EQ(ids(loaded.tasks()), (Ids{"Z", "F", "A"}));
  const Task& back = loaded.tasks()[1];
  EXPECT_EQ(back.title, full.title);
  EXPECT_EQ(back.due, full.due);
  EXPECT_EQ(back.notes, full.notes);
  EXPECT_EQ(back.sourceContext, full.sourceContext);
  EXPECT_EQ(back.excerpt, full.excerpt);
  EXPECT_EQ(back.deepLink, full.deepLink);
  EXPECT_EQ(back.source, "github");
  EXPECT_TRUE(back.autoExtracted);
  EXPECT_TRUE(back.completed);
  EXPECT_EQ(back.completedAt, now);
  EXPECT_EQ(back.createdAt, full.createdAt);
  EXPECT_EQ(loaded.tasks()[0].due, DueDate{daysFromToday(-5)});
  EXPECT_EQ(loaded.tasks()[2].source, "manual");
}

TEST_F(TaskStoreTest, MissingStateFileIsAnEmptyListButADamagedOneIsAnError) {
  test::TempDir dir;
  EXPECT_TRUE(loadTasks(dir.file("absent.json"), now).tasks().empty());
  for (const char* content :
       {"", "not json", "[]", R"({"tasks":{}})", R"({"tasks":[1]})", R"({"tasks":[{"id":"A"}]})",
        R"({"tasks":[{"id":"A","title":"t","dueAt":"someday"}]})"}) {
    test::writeFile(dir.file("bad.json"), content);
    EXPECT_THROW(loadTasks(dir.file("bad.json"), now), std::runtime_error) << content;
  }
}

}  // namespace
}  // namespace mivet::sim
