#include "home_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace mivet {

std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  const passwd* entry = getpwuid(getuid());
  if (entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return "";
}

std::string defaultAppSocketPath() {
  return homeDirectory() + "/Library/Application Support/Mivet/ipc.sock";
}

}  // namespace mivet
