#include "app_sim/dates.h"

#include "tests/app_sim/local_zone.h"

#include <gtest/gtest.h>

namespace mivet::sim {
namespace {

using namespace std::chrono;
using test::LocalZone;

Instant utc(int y, unsigned m, unsigned d, int hour, int minute = 0, int second = 0) {
  return Instant{sys_days{year{y} / month{m} / day{d}}} + hours{hour} + minutes{minute} +
         seconds{second};
}

constexpr Day march(unsigned d) {
  return year{2025} / month{3} / day{d};
}

class Dates : public ::testing::Test {
 protected:
  LocalZone zone{test::plusTwoHours};
};

TEST_F(Dates, TodayAndTomorrowFollowTheLocalCalendar) {
  Instant lateEvening = utc(2025, 3, 14, 22, 30);  // already 00:30 on the 15th locally
  EXPECT_EQ(parseDueAt("today", lateEvening), DueDate{march(15)});
  EXPECT_EQ(parseDueAt(" Tomorrow\n", lateEvening), DueDate{march(16)});
  EXPECT_EQ(parseDueAt("TODAY", utc(2025, 3, 14, 10)), DueDate{march(14)});
  EXPECT_EQ(parseDueAt("tomorrow", utc(2025, 12, 31, 12)), DueDate{Day{year{2026} / 1 / 1}});
}

TEST_F(Dates, CalendarDaysMustExist) {
  Instant now = utc(2025, 3, 14, 10);
  EXPECT_EQ(parseDueAt("2024-02-29", now), DueDate{Day{year{2024} / 2 / 29}});
  for (const char* text : {"2025-02-29", "2025-13-01", "2025-00-10", "2025-3-14", "2025-03-14x",
                           "14.03.2025", "", "yesterday", "2025-03-32"}) {
    EXPECT_FALSE(parseDueAt(text, now)) << text;
  }
}

TEST_F(Dates, TimestampsWithZonesBecomeInstants) {
  Instant expected = utc(2025, 3, 14, 9, 30);
  for (const char* text : {"2025-03-14T09:30:00Z", "2025-03-14t09:30z", "2025-03-14 09:30:00Z",
                           "2025-03-14T11:30:00+02:00", "2025-03-14T11:30+0200",
                           "2025-03-14T04:30:00-05", "2025-03-14T09:30:00.999Z"}) {
    EXPECT_EQ(parseTimestamp(text), expected) << text;
  }
}

TEST_F(Dates, TimestampsWithoutZoneAreLocalTime) {
  EXPECT_EQ(parseTimestamp("2025-03-14T11:30"), utc(2025, 3, 14, 9, 30));
  EXPECT_EQ(parseDueAt("2025-03-14T11:30:15", utc(2025, 1, 1, 0)),
            DueDate{utc(2025, 3, 14, 9, 30, 15)});
}

TEST_F(Dates, MalformedTimestampsAreRefused) {
  for (const char* text : {"2025-03-14T24:00", "2025-03-14T09:60", "2025-03-14T09",
                           "2025-03-14T9:30", "2025-03-14T09:30:00+2", "2025-03-14T09:30:00Zjunk",
                           "2025-03-14T09:30:00+25:00", "2025-03-14"}) {
    EXPECT_FALSE(parseTimestamp(text)) << text;
  }
}

TEST_F(Dates, AnInstantFallsOnItsLocalDay) {
  EXPECT_EQ(dueDay(DueDate{utc(2025, 3, 14, 23, 30)}), march(15));
  EXPECT_EQ(dueDay(DueDate{utc(2025, 3, 14, 21, 59)}), march(14));
  EXPECT_EQ(dueDay(DueDate{march(14)}), march(14));
}

TEST_F(Dates, FormattedDueDatesReadBackUnchanged) {
  Instant now = utc(2025, 3, 14, 10);
  for (DueDate due : {DueDate{march(9)}, DueDate{utc(2025, 3, 14, 9, 30, 5)}}) {
    EXPECT_EQ(parseDueAt(formatDueDate(due), now), due) << formatDueDate(due);
  }
  EXPECT_EQ(formatDueDate(DueDate{march(9)}), "2025-03-09");
  EXPECT_EQ(formatUtc(utc(2025, 3, 14, 9, 30, 5)), "2025-03-14T09:30:05Z");
  EXPECT_EQ(formatLocal(utc(2025, 3, 14, 23, 30)), "2025-03-15T01:30:00+02:00");
}

TEST_F(Dates, LocalInstantAndLocalDayAgree) {
  Instant nineLocal = localInstant(march(14), hours{9});
  EXPECT_EQ(nineLocal, utc(2025, 3, 14, 7));
  EXPECT_EQ(localDayOf(localInstant(march(14), seconds{0})), march(14));
  EXPECT_EQ(localDayOf(localInstant(march(14), hours{24} - seconds{1})), march(14));
}

TEST(DatesWestOfUtc, NegativeOffsetsAreWrittenWithTheirSign) {
  LocalZone zone("<-0330>3:30");
  EXPECT_EQ(formatLocal(utc(2025, 3, 14, 2)), "2025-03-13T22:30:00-03:30");
  EXPECT_EQ(localDayOf(utc(2025, 3, 14, 2)), march(13));
}

}  // namespace
}  // namespace mivet::sim
