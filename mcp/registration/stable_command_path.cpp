#include "mcp/registration/stable_command_path.h"

#include "mcp/registration/config_file.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

namespace mivet::mcp {
namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

bool existsFollowingLinks(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The first `name` under an entry of `searchPath` that is an executable
// file, as execvp would pick it; `name` itself when none is. Empty and
// relative entries are taken under `workingDirectory`.
std::string searchedInPath(const std::string& name, const std::string& searchPath,
                           const std::string& workingDirectory) {
  std::size_t start = 0;
  for (;;) {
    std::size_t end = searchPath.find(':', start);
    std::string directory = searchPath.substr(start, end == std::string::npos ? end : end - start);
    if (!directory.starts_with('/')) {
      directory = directory.empty() ? workingDirectory : workingDirectory + "/" + directory;
    }
    std::string candidate = directory + "/" + name;
    if (isExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) return name;
    start = end + 1;
  }
}

// `path` (absolute) without empty, "." and ".." components.
std::string lexicallyNormal(const std::string& path) {
  std::vector<std::string> components;
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    if (component == "..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    start = end + 1;
  }
  std::string normal;
  for (const std::string& component : components) normal += "/" + component;
  return normal.empty() ? "/" : normal;
}

std::string withLinksResolved(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       std::free);
  return resolved ? std::string(resolved.get()) : path;
}

std::string currentDirectory() {
  std::unique_ptr<char, decltype(&std::free)> directory(::getcwd(nullptr, 0), std::free);
  return directory ? std::string(directory.get()) : std::string("/");
}

// PATH as the shell would use it; the system's default search path when unset.
std::string executableSearchPath() {
  if (const char* path = std::getenv("PATH")) return path;
  std::size_t length = ::confstr(_CS_PATH, nullptr, 0);
  if (length == 0) return "/usr/bin:/bin";
  std::string fallback(length, '\0');
  ::confstr(_CS_PATH, fallback.data(), length);
  fallback.resize(length - 1);
  return fallback;
}

// Points the link at `stablePath` to `selfPath` unless it already does.
// Every step that fails is skipped.
void refreshStableLink(const std::string& stablePath, const std::string& selfPath) {
  std::error_code ignored;
  std::filesystem::create_directories(parentDirectoryOf(stablePath), ignored);
  if (selfPath == stablePath) return;
  std::error_code notALink;
  auto target = std::filesystem::read_symlink(stablePath, notALink);
  if (!notALink && target.native() == selfPath) return;
  std::filesystem::remove_all(stablePath, ignored);
  ::symlink(selfPath.c_str(), stablePath.c_str());
}

}  // namespace

std::string stableCommandPathFor(const std::string& home) {
  return home + "/Library/Application Support/Mivet/bin/mivet-mcp";
}

std::string selfExecutablePath(const std::string& invocation, const std::string& searchPath,
                               const std::string& workingDirectory) {
  std::string path = invocation.find('/') == std::string::npos && !invocation.empty()
                         ? searchedInPath(invocation, searchPath, workingDirectory)
                         : invocation;
  if (!path.starts_with('/')) path = workingDirectory + "/" + path;
  return withLinksResolved(lexicallyNormal(path));
}

std::string stableSelfCommandPath(const std::vector<std::string>& arguments,
                                  const std::string& home) {
  std::string stablePath = stableCommandPathFor(home);
  const std::string invocation = arguments.empty() ? std::string() : arguments.front();
  std::string selfPath = selfExecutablePath(invocation, executableSearchPath(), currentDirectory());
  if (!isExecutableFile(selfPath)) {
    return existsFollowingLinks(stablePath) ? stablePath : selfPath;
  }
  refreshStableLink(stablePath, selfPath);
  return stablePath;
}

}  // namespace mivet::mcp
