#include "mcp/registration/config_file.h"

#include "common/atomic_file.h"
#include "common/file_io.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace mivet::mcp {

namespace {

ConfigFileRead readFileAt(const std::string& path, const std::string& target) {
  FileContent file = readRegularFile(target);
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

// A link replaced by a file or pointed elsewhere, or the file written or
// replaced: either way, not what the edit was made from.
bool stillLeadsToWhatWasRead(const ConfigFileRead& file) {
  return finalTargetOf(file.path) == file.target && currentFileVersion(file.target) == file.version;
}

bool moveIntoPlaceIfUnchanged(PreparedReplacement& replacement, const ConfigFileRead& file,
                              const SharedFileOptions& options) {
  std::optional<DirectoryLock> lock;
  if (options.lock) lock.emplace(file.path + ".lock", *options.lock);
  return stillLeadsToWhatWasRead(file) && replacement.moveIntoPlaceIfUnchanged(file.version);
}

}  // namespace

ConfigFileRead readConfigFile(const std::string& path) {
  // A link that cannot be followed is read as it is, and the read says why not.
  const std::string target = finalTargetOf(path).value_or(path);
  ConfigFileRead file = readFileAt(path, target);
  file.path = path;
  file.target = target;
  return file;
}

void editConfigFile(const std::string& path, const ConfigEdit& edit,
                    const SharedFileOptions& options) {
  for (int attempt = 0; attempt < options.attempts; ++attempt) {
    ConfigFileRead file = readConfigFile(path);
    std::optional<std::string> content = edit(file);
    if (!content) return;
    PreparedReplacement replacement(path, file.target, *content);
    if (moveIntoPlaceIfUnchanged(replacement, file, options)) {
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
