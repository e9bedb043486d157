#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace mivet::test {

// Puts the process in a fixed local time zone for the life of the object, so
// that "today" and local times do not depend on the machine.
class LocalZone {
 public:
  explicit LocalZone(const char* posixZone) {
    if (const char* old = getenv("TZ")) previous_ = old;
    setenv("TZ", posixZone, 1);
    tzset();
  }
  ~LocalZone() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  LocalZone(const LocalZone&) = delete;
  LocalZone& operator=(const LocalZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

// Two hours ahead of UTC all year.
inline constexpr const char* plusTwoHours = "<+02>-2";

}  // namespace mivet::test
