#include "mcp/registration/home_owner.h"

// initgroups and setgroups: <grp.h> on Linux, <unistd.h> on macOS.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace mivet::mcp {
namespace {

[[noreturn]] void fail(const std::string& home, uid_t owner, const std::string& step, int error) {
  throw std::runtime_error("cannot act as the owner (uid " + std::to_string(owner) +
                           ") of the home directory " + home + ": " + step +
                           " failed: " + std::strerror(error) + "; nothing was read or changed");
}

// The groups go first: once the uid is the user's, they can no longer be set.
void takeGroups(const std::string& home, const struct stat& info) {
  const passwd* entry = ::getpwuid(info.st_uid);
  gid_t group = entry != nullptr ? entry->pw_gid : info.st_gid;
  int result = entry != nullptr ? ::initgroups(entry->pw_name, group) : ::setgroups(1, &group);
  if (result != 0) fail(home, info.st_uid, "setting the supplementary groups", errno);
  if (::setgid(group) != 0) fail(home, info.st_uid, "setgid", errno);
}

// setuid as root sets the real, effective and saved uid alike; a process
// that could still become root again has not given it up.
void takeUser(const std::string& home, uid_t owner) {
  if (::setuid(owner) != 0) fail(home, owner, "setuid", errno);
  if (::getuid() != owner || ::geteuid() != owner || ::setuid(0) == 0) {
    fail(home, owner, "giving up root", EPERM);
  }
}

}  // namespace

void actAsOwnerOfHome(const std::string& home) {
  if (::geteuid() != 0) return;
  struct stat info;
  if (home.empty() || ::stat(home.c_str(), &info) != 0 || info.st_uid == 0) return;
  takeGroups(home, info);
  takeUser(home, info.st_uid);
}

}  // namespace mivet::mcp
