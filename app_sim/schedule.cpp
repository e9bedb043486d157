#include "app_sim/schedule.h"

#include "app_sim/object_list_file.h"
#include "common/json_reader.h"

#include <algorithm>
#include <stdexcept>

namespace mivet::sim {
namespace {

// "HH:MM" on `today`, or a full timestamp.
std::optional<Instant> eventTime(std::string_view text, Day today) {
  if (text.size() == 5 && text[2] == ':') {
    return parseTimestamp(formatDay(today) + "T" + std::string(text));
  }
  return parseTimestamp(text);
}

CalendarEvent readEvent(simdjson::dom::object object, Day today) {
  CalendarEvent event;
  event.title = stringMember(object, "title").value_or("Untitled event");
  event.calendar = stringMember(object, "calendar").value_or("");
  event.location = stringMember(object, "location").value_or("");
  auto start = eventTime(stringMember(object, "start").value_or(""), today);
  auto end = eventTime(stringMember(object, "end").value_or(""), today);
  if (!start || !end) {
    throw std::runtime_error("event '" + event.title +
                             "' needs \"start\" and \"end\" as ISO-8601 times or HH:MM");
  }
  if (*end < *start) throw std::runtime_error("event '" + event.title + "' ends before it starts");
  event.start = *start;
  event.end = *end;
  return event;
}

bool takesPlaceOn(const CalendarEvent& event, Day day) {
  Instant dayStart = localInstant(day, std::chrono::seconds{0});
  Instant nextDayStart =
      localInstant(Day{std::chrono::sys_days{day} + std::chrono::days{1}}, std::chrono::seconds{0});
  if (event.start == event.end) return event.start >= dayStart && event.start < nextDayStart;
  return event.start < nextDayStart && event.end > dayStart;
}

}  // namespace

std::vector<CalendarEvent> loadCalendar(const std::string& path, Day today) {
  std::vector<CalendarEvent> events;
  forEachListedObject(
      path, {"calendar file", "events", "an event"},
      [&](simdjson::dom::object object) { events.push_back(readEvent(object, today)); });
  return events;
}

DaySchedule scheduleFor(const std::vector<CalendarEvent>& events, Day day) {
  DaySchedule schedule;
  for (const auto& event : events) {
    if (takesPlaceOn(event, day)) schedule.events.push_back(event);
  }
  std::stable_sort(schedule.events.begin(), schedule.events.end(),
                   [](const auto& a, const auto& b) {
                     return a.start != b.start ? a.start < b.start : a.end < b.end;
                   });
  const auto& sorted = schedule.events;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    // Sorted by start: once an event starts after this one ends, so do all later ones.
    for (std::size_t j = i + 1; j < sorted.size() && sorted[j].start < sorted[i].end; ++j) {
      Instant overlapEnd = std::min(sorted[i].end, sorted[j].end);
      if (sorted[j].start < overlapEnd) {
        schedule.conflicts.push_back(Conflict{i, j, sorted[j].start, overlapEnd});
      }
    }
  }
  return schedule;
}

}  // namespace mivet::sim
