#include "mcp/registration/home_owner.h"

#include "common/file_io.h"

// initgroups and setgroups: <grp.h> on Linux, <unistd.h> on macOS.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace mivet::mcp {
namespace {

// A user other than root that a location belongs to.
struct Owner {
  uid_t uid;
  gid_t group;        // of the location, taken when the user database does not know the user
  std::string where;  // "the home directory /Users/ann", "CODEX_HOME /Users/ann/.codex"
};

[[noreturn]] void fail(const Owner& owner, const std::string& step, int error) {
  throw std::runtime_error("cannot act as the owner (uid " + std::to_string(owner.uid) + ") of " +
                           owner.where + ": " + step + " failed: " + std::strerror(error) +
                           "; nothing was read or changed");
}

std::string userNamed(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return "uid " + std::to_string(uid) +
         (entry != nullptr ? " (" + std::string(entry->pw_name) + ")" : std::string());
}

[[noreturn]] void refuse(const Owner& one, const Owner& other) {
  throw std::runtime_error(one.where + " belongs to " + userNamed(one.uid) + " but " + other.where +
                           " to " + userNamed(other.uid) +
                           "; run the command as one of them, with locations of that user "
                           "only; nothing was read or changed");
}

// Adds the owners of `path` other than root (see actAsOwnerOfHome).
void addOwnersOf(std::vector<Owner>& owners, const std::string& name, std::string path) {
  if (path.empty()) return;
  struct stat info;
  while (::lstat(path.c_str(), &info) != 0) {
    std::string parent = parentDirectoryOf(path);
    if (parent == path) return;
    path = parent;
  }
  const std::string where = name + " " + path;
  if (info.st_uid != 0) owners.push_back({info.st_uid, info.st_gid, where});
  if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) == 0 && info.st_uid != 0) {
    owners.push_back({info.st_uid, info.st_gid, where});
  }
}

// The groups go first: once the uid is the user's, they can no longer be set.
// Both calls replace the whole list, so root's own groups (sudo starts the
// command with group 0 among them) are gone.
void takeGroups(const Owner& owner) {
  const passwd* entry = ::getpwuid(owner.uid);
  gid_t group = entry != nullptr ? entry->pw_gid : owner.group;
  if (entry == nullptr && group == 0) fail(owner, "taking a group other than root's", EPERM);
  int result = entry != nullptr ? ::initgroups(entry->pw_name, group) : ::setgroups(1, &group);
  if (result != 0) fail(owner, "setting the supplementary groups", errno);
  if (::setgid(group) != 0) fail(owner, "setgid", errno);
}

// setuid as root sets the real, effective and saved uid alike; a process
// that could still become root again has not given it up.
void takeUser(const Owner& owner) {
  if (::setuid(owner.uid) != 0) fail(owner, "setuid", errno);
  if (::getuid() != owner.uid || ::geteuid() != owner.uid || ::setuid(0) == 0) {
    fail(owner, "giving up root", EPERM);
  }
}

}  // namespace

void actAsOwnerOfHome(const std::string& home, const ClientConfigDirectories& directories) {
  if (::geteuid() != 0) return;
  std::vector<Owner> owners;
  addOwnersOf(owners, "the home directory", home);
  addOwnersOf(owners, "CLAUDE_CONFIG_DIR", directories.claude);
  addOwnersOf(owners, "CODEX_HOME", directories.codex);
  if (owners.empty()) return;
  for (const Owner& other : owners) {
    if (other.uid != owners.front().uid) refuse(owners.front(), other);
  }
  takeGroups(owners.front());
  takeUser(owners.front());
}

}  // namespace mivet::mcp
