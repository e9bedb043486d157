#include "app_sim/dates.h"

#include "common/unicode_text.h"

#include <time.h>

#include <cctype>
#include <cstdio>

namespace mivet::sim {
namespace {

using namespace std::chrono;

// Reads the fixed-width numbers and separators of ISO-8601 text from left to right.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : rest_(text) {}

  bool number(int digitCount, int& value) {
    if (rest_.size() < static_cast<std::size_t>(digitCount)) return false;
    value = 0;
    for (int i = 0; i < digitCount; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(rest_[i]))) return false;
      value = value * 10 + (rest_[i] - '0');
    }
    rest_.remove_prefix(digitCount);
    return true;
  }
  bool literal(char expected) {
    if (rest_.empty() || rest_.front() != expected) return false;
    rest_.remove_prefix(1);
    return true;
  }
  bool literalOneOf(std::string_view choices) {
    if (rest_.empty() || choices.find(rest_.front()) == std::string_view::npos) return false;
    rest_.remove_prefix(1);
    return true;
  }
  void skipDigits() {
    while (!rest_.empty() && std::isdigit(static_cast<unsigned char>(rest_.front()))) {
      rest_.remove_prefix(1);
    }
  }
  char peek() const { return rest_.empty() ? '\0' : rest_.front(); }
  bool atEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

std::optional<Day> scanDay(Scanner& scan) {
  int y = 0, m = 0, d = 0;
  if (!scan.number(4, y) || !scan.literal('-') || !scan.number(2, m) || !scan.literal('-') ||
      !scan.number(2, d)) {
    return std::nullopt;
  }
  Day day{year{y}, month{static_cast<unsigned>(m)}, std::chrono::day{static_cast<unsigned>(d)}};
  if (!day.ok()) return std::nullopt;
  return day;
}

std::optional<seconds> scanTimeOfDay(Scanner& scan) {
  int h = 0, m = 0, s = 0;
  if (!scan.number(2, h) || !scan.literal(':') || !scan.number(2, m)) return std::nullopt;
  if (scan.literal(':')) {
    if (!scan.number(2, s)) return std::nullopt;
    if (scan.literalOneOf(".,")) scan.skipDigits();
  }
  if (h > 23 || m > 59 || s > 59) return std::nullopt;
  return hours{h} + minutes{m} + seconds{s};
}

// The zone designator: nullopt when it is malformed, a null offset for local time.
std::optional<std::optional<seconds>> scanUtcOffset(Scanner& scan) {
  if (scan.atEnd()) return std::optional<seconds>{};
  if (scan.literalOneOf("Zz")) return std::optional<seconds>{seconds{0}};
  char sign = scan.peek();
  if (!scan.literalOneOf("+-")) return std::nullopt;
  int h = 0, m = 0;
  if (!scan.number(2, h)) return std::nullopt;
  if (!scan.atEnd()) {
    scan.literal(':');
    if (!scan.number(2, m)) return std::nullopt;
  }
  if (h > 23 || m > 59) return std::nullopt;
  seconds offset = hours{h} + minutes{m};
  return std::optional<seconds>{sign == '-' ? -offset : offset};
}

tm localFields(Instant instant) {
  time_t t = static_cast<time_t>(instant.time_since_epoch().count());
  tm fields{};
  localtime_r(&t, &fields);
  return fields;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != lowerCase[i]) return false;
  }
  return true;
}

}  // namespace

Day localDayOf(Instant instant) {
  tm fields = localFields(instant);
  return Day{year{fields.tm_year + 1900}, month{static_cast<unsigned>(fields.tm_mon + 1)},
             day{static_cast<unsigned>(fields.tm_mday)}};
}

Instant localInstant(Day day, seconds timeOfDay) {
  hh_mm_ss clock{timeOfDay};
  tm fields{};
  fields.tm_year = static_cast<int>(day.year()) - 1900;
  fields.tm_mon = static_cast<int>(static_cast<unsigned>(day.month())) - 1;
  fields.tm_mday = static_cast<int>(static_cast<unsigned>(day.day()));
  fields.tm_hour = static_cast<int>(clock.hours().count());
  fields.tm_min = static_cast<int>(clock.minutes().count());
  fields.tm_sec = static_cast<int>(clock.seconds().count());
  fields.tm_isdst = -1;  // let the zone rules decide
  return Instant{seconds{mktime(&fields)}};
}

std::optional<Day> parseDay(std::string_view text) {
  Scanner scan(text);
  auto day = scanDay(scan);
  if (!day || !scan.atEnd()) return std::nullopt;
  return day;
}

std::optional<Instant> parseTimestamp(std::string_view text) {
  Scanner scan(text);
  auto day = scanDay(scan);
  if (!day || !scan.literalOneOf("Tt ")) return std::nullopt;
  auto timeOfDay = scanTimeOfDay(scan);
  if (!timeOfDay) return std::nullopt;
  auto offset = scanUtcOffset(scan);
  if (!offset || !scan.atEnd()) return std::nullopt;
  if (!*offset) return localInstant(*day, *timeOfDay);
  return Instant{sys_days{*day}} + *timeOfDay - **offset;
}

std::optional<DueDate> parseDueAt(std::string_view text, Instant now) {
  text = trimWhitespaceAndNewlines(text);
  if (equalsIgnoringCase(text, "today")) return localDayOf(now);
  if (equalsIgnoringCase(text, "tomorrow")) return Day{sys_days{localDayOf(now)} + days{1}};
  if (auto day = parseDay(text)) return *day;
  if (auto instant = parseTimestamp(text)) return *instant;
  return std::nullopt;
}

Day dueDay(const DueDate& due) {
  if (const auto* instant = std::get_if<Instant>(&due)) return localDayOf(*instant);
  return std::get<Day>(due);
}

std::string formatDay(Day day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

std::string formatUtc(Instant instant) {
  auto midnight = floor<days>(instant);
  hh_mm_ss clock{instant - midnight};
  char text[48];
  std::snprintf(text, sizeof text, "T%02d:%02d:%02dZ", static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return formatDay(Day{midnight}) + text;
}

std::string formatLocal(Instant instant) {
  tm fields = localFields(instant);
  int offsetMinutes = static_cast<int>(fields.tm_gmtoff / 60);
  char sign = offsetMinutes < 0 ? '-' : '+';
  if (offsetMinutes < 0) offsetMinutes = -offsetMinutes;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                fields.tm_min, fields.tm_sec, sign, offsetMinutes / 60, offsetMinutes % 60);
  return text;
}

std::string formatDueDate(const DueDate& due) {
  if (const auto* instant = std::get_if<Instant>(&due)) return formatUtc(*instant);
  return formatDay(std::get<Day>(due));
}

Instant currentInstant() {
  return floor<seconds>(system_clock::now());
}

}  // namespace mivet::sim
