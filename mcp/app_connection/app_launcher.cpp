#include "mcp/app_connection/app_launcher.h"

#include "common/file_io.h"
#include "common/home_directory.h"
#include "common/unicode_text.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

extern char** environ;

namespace mivet::mcp {
namespace {

// A bundle path is far shorter; anything longer is not what the application wrote.
constexpr std::size_t maxAppPathFileBytes = 4096;

void runWithOutputDiscarded(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{openCommandPath};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (auto& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  std::ignore = posix_spawn_file_actions_init(&actions);
  std::ignore = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::ignore = posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  int rc = posix_spawn(&child, openCommandPath, &actions, nullptr, pointers.data(), environ);
  std::ignore = posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::vector<std::string> openArguments(const std::optional<std::string>& recordedPathFile,
                                       const std::function<bool(const std::string&)>& exists) {
  if (recordedPathFile) {
    std::string recorded(trimWhitespaceAndNewlines(*recordedPathFile));
    if (!recorded.empty() && exists(recorded)) return {"-g", "-a", recorded};
  }
  if (exists(std::string(standardAppLocation))) {
    return {"-g", "-a", std::string(standardAppLocation)};
  }
  return {"-g", "-b", std::string(mivetBundleIdentifier)};
}

std::optional<std::string> readAppPathFile(const std::string& path) {
  auto text = readWholeFile(path, maxAppPathFileBytes);
  if (!text || !isValidUtf8(*text)) return std::nullopt;
  return text;
}

void launchMivetAppInBackground() {
  auto recorded =
      readAppPathFile(homeDirectory() + "/Library/Application Support/Mivet/app_path.txt");
  runWithOutputDiscarded(openArguments(recorded, existsFollowingLinks));
}

}  // namespace mivet::mcp
