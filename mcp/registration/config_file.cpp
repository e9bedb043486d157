#include "mcp/registration/config_file.h"

#include "common/atomic_file.h"
#include "common/file_io.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace mivet::mcp {

ConfigFileRead readConfigFile(const std::string& path) {
  FileContent file = readRegularFile(path);
  switch (file.outcome) {
    case FileContent::Outcome::read:
      return {.outcome = ConfigFileRead::Outcome::read,
              .content = std::move(file.bytes),
              .version = file.version};
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

namespace {

bool moveIntoPlaceIfUnchanged(PreparedReplacement& replacement, const std::string& path,
                              const FileVersion& read, const SharedFileOptions& options) {
  std::optional<DirectoryLock> lock;
  if (options.lock) lock.emplace(path + ".lock", *options.lock);
  return replacement.moveIntoPlaceIfUnchanged(read);
}

}  // namespace

void editConfigFile(const std::string& path, const ConfigEdit& edit,
                    const SharedFileOptions& options) {
  for (int attempt = 0; attempt < options.attempts; ++attempt) {
    ConfigFileRead file = readConfigFile(path);
    std::optional<std::string> content = edit(file);
    if (!content) return;
    PreparedReplacement replacement(path, *content);
    if (moveIntoPlaceIfUnchanged(replacement, path, file.version, options)) {
      replacement.makeDurable();
      return;
    }
  }
  throw std::runtime_error(path + " kept changing while it was being edited (another program " +
                           "is writing it); it was left as the other program wrote it; try again");
}

void createParentDirectories(const std::string& path) {
  std::string directory = parentDirectoryOf(path);
  if (int error = createDirectories(directory)) {
    throw std::runtime_error("cannot create the directory " + directory + ": " +
                             std::strerror(error));
  }
}

}  // namespace mivet::mcp
