#pragma once

#include "app_sim/dates.h"

#include <string>
#include <vector>

namespace mivet::sim {

struct CalendarEvent {
  std::string title;
  Instant start{};
  Instant end{};
  std::string calendar;
  std::string location;
};

// Two events of one day that overlap, by their places in that day's list,
// and the stretch of time they share.
struct Conflict {
  std::size_t first = 0;
  std::size_t second = 0;
  Instant start{};
  Instant end{};
};

struct DaySchedule {
  std::vector<CalendarEvent> events;  // by start time, then end time
  std::vector<Conflict> conflicts;
};

// Reads a calendar file: {"events": [{"title", "start", "end", "calendar"?,
// "location"?}, ...]} where "start" and "end" are ISO-8601 timestamps or a
// bare "HH:MM" meaning that time on `today`. Throws std::runtime_error naming
// what is wrong.
std::vector<CalendarEvent> loadCalendar(const std::string& path, Day today);

// The events that take place on `day` (local time), with every overlapping pair.
DaySchedule scheduleFor(const std::vector<CalendarEvent>& events, Day day);

}  // namespace mivet::sim
