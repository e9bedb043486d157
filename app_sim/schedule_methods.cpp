#include "app_sim/methods.h"
#include "app_sim/schedule.h"

namespace mivet::sim {
namespace {

void writeEvent(JsonWriter& result, const CalendarEvent& event) {
  result.beginObject();
  result.key("title");
  result.string(event.title);
  result.key("start");
  result.string(formatLocal(event.start));
  result.key("end");
  result.string(formatLocal(event.end));
  if (!event.calendar.empty()) {
    result.key("calendar");
    result.string(event.calendar);
  }
  if (!event.location.empty()) {
    result.key("location");
    result.string(event.location);
  }
  result.endObject();
}

void writeConflict(JsonWriter& result, const DaySchedule& schedule, const Conflict& conflict) {
  result.beginObject();
  result.key("events");
  result.beginArray();
  result.string(schedule.events[conflict.first].title);
  result.string(schedule.events[conflict.second].title);
  result.endArray();
  result.key("overlapStart");
  result.string(formatLocal(conflict.start));
  result.key("overlapEnd");
  result.string(formatLocal(conflict.end));
  result.endObject();
}

}  // namespace

// The calendar file is read afresh for every request, so edits show at once.
void scheduleToday(App& app, simdjson::dom::object, JsonWriter& result) {
  Day today = localDayOf(app.clock());
  std::vector<CalendarEvent> events;
  if (!app.calendarPath.empty()) events = loadCalendar(app.calendarPath, today);
  DaySchedule schedule = scheduleFor(events, today);

  result.beginObject();
  result.key("date");
  result.string(formatDay(today));
  result.key("events");
  result.beginArray();
  for (const auto& event : schedule.events) writeEvent(result, event);
  result.endArray();
  result.key("conflicts");
  result.beginArray();
  for (const auto& conflict : schedule.conflicts) writeConflict(result, schedule, conflict);
  result.endArray();
  if (app.calendarPath.empty()) {
    result.key("note");
    result.string("No calendar is connected; start mivet-app-sim with --calendar FILE.");
  }
  result.endObject();
}

}  // namespace mivet::sim
