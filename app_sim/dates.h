#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mivet::sim {

using Instant = std::chrono::sys_seconds;
using Day = std::chrono::year_month_day;

// A due date: a whole calendar day, or an instant when a time of day was given.
using DueDate = std::variant<Day, Instant>;

// The calendar day `instant` falls on in the local time zone.
Day localDayOf(Instant instant);

// The instant at which the local wall clock shows `timeOfDay` on `day`.
Instant localInstant(Day day, std::chrono::seconds timeOfDay);

// "YYYY-MM-DD", a day that exists.
std::optional<Day> parseDay(std::string_view text);

// An ISO-8601 date and time: "YYYY-MM-DDTHH:MM[:SS[.fraction]]" followed by
// "Z", "+HH:MM", "+HHMM" or "+HH" (or "-"), or by nothing for local time. A
// space may stand for the "T". Fractions of a second are dropped.
std::optional<Instant> parseTimestamp(std::string_view text);

// A due date as people and assistants write it: "today", "tomorrow" (any
// case), "YYYY-MM-DD" or an ISO-8601 timestamp, with surrounding white space
// ignored. `now` decides what today is.
std::optional<DueDate> parseDueAt(std::string_view text, Instant now);

// The local calendar day a due date falls on.
Day dueDay(const DueDate& due);

std::string formatDay(Day day);
// "YYYY-MM-DDTHH:MM:SSZ".
std::string formatUtc(Instant instant);
// Local wall-clock time with its offset, "YYYY-MM-DDTHH:MM:SS+HH:MM".
std::string formatLocal(Instant instant);
// A day as formatDay, an instant as formatUtc; parseDueAt reads both back.
std::string formatDueDate(const DueDate& due);

Instant currentInstant();

}  // namespace mivet::sim
