#include "mcp/registration/config_file.h"

#include "common/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace mivet::mcp {

ConfigFileRead readConfigFile(const std::string& path) {
  FileContent file = readRegularFile(path);
  switch (file.outcome) {
    case FileContent::Outcome::read:
      return {.outcome = ConfigFileRead::Outcome::read, .content = std::move(file.bytes)};
    case FileContent::Outcome::missing:
      return {};
    case FileContent::Outcome::notRegularFile:
      return {.outcome = ConfigFileRead::Outcome::unreadable,
              .problem = path + " is " + file.kind + ", not a regular file; it was left as it is"};
    case FileContent::Outcome::tooLarge:
    case FileContent::Outcome::failed:
      break;
  }
  return {.outcome = ConfigFileRead::Outcome::unreadable,
          .problem = "cannot read " + path + ": " + std::strerror(file.error)};
}

int createDirectories(const std::string& directory) {
  struct stat info;
  if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  std::string parent = parentDirectoryOf(directory);
  if (parent != directory) {
    if (int error = createDirectories(parent)) return error;
  }
  if (::mkdir(directory.c_str(), 0777) != 0) {
    int error = errno;
    // Made by someone else in between: as good as made here.
    if (::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return error;
  }
  // Under sudo the new directory would be root's, and the user could no
  // longer write there without sudo.
  struct stat parentInfo;
  if (::geteuid() == 0 && ::stat(parent.c_str(), &parentInfo) == 0) {
    std::ignore = ::lchown(directory.c_str(), parentInfo.st_uid, parentInfo.st_gid);
  }
  return 0;
}

void createParentDirectories(const std::string& path) {
  std::string directory = parentDirectoryOf(path);
  if (int error = createDirectories(directory)) {
    throw std::runtime_error("cannot create the directory " + directory + ": " +
                             std::strerror(error));
  }
}

}  // namespace mivet::mcp
