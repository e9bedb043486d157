#include "mcp/registration/stable_command_path.h"

#include "common/file_io.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace mivet::mcp {
namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
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

// Whether `there` (what lstat found at the stable path) is the file at
// `selfPath` or a directory that holds it: removing it would delete the
// running program. Identity, not spelling, decides: the home directory, the
// stable directory or one of its parents may be reached through a link or
// spelled with extra slashes.
bool holdsTheProgram(const struct stat& there, const std::string& selfPath) {
  for (std::string path = selfPath;; path = parentDirectoryOf(path)) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && info.st_dev == there.st_dev &&
        info.st_ino == there.st_ino) {
      return true;
    }
    if (path == "/" || path == ".") return false;
  }
}

// Whether `path` leads to the file at `selfPath`, told by file identity.
bool leadsTo(const std::string& path, const std::string& selfPath) {
  struct stat there, self;
  return ::stat(path.c_str(), &there) == 0 && ::stat(selfPath.c_str(), &self) == 0 &&
         there.st_dev == self.st_dev && there.st_ino == self.st_ino;
}

// Points the link at `stablePath` to `selfPath` unless the path already leads
// there or holds the program.
StableLinkAttempt refreshStableLink(const std::string& stablePath, const std::string& selfPath) {
  const std::string folder = parentDirectoryOf(stablePath);
  if (int error = createDirectories(folder)) return {"making the folder " + folder, error};
  struct stat there;
  const bool present = ::lstat(stablePath.c_str(), &there) == 0;
  if (present && S_ISLNK(there.st_mode)) {
    std::error_code notALink;
    auto target = std::filesystem::read_symlink(stablePath, notALink);
    if (!notALink && target.native() == selfPath) return {};
  } else if (present && holdsTheProgram(there, selfPath)) {
    return {};
  } else if (present && S_ISDIR(there.st_mode)) {
    std::error_code error;
    std::filesystem::remove_all(stablePath, error);
    if (error) return {"removing the folder " + stablePath, error.value()};
  }
  // Made beside the path and renamed over it: the path never stands empty,
  // and of two installs at once, each puts a whole link there.
  const std::string fresh = stablePath + ".new-" + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(selfPath.c_str(), fresh.c_str()) != 0) return {"making a link in " + folder, errno};
  if (::rename(fresh.c_str(), stablePath.c_str()) != 0) {
    StableLinkAttempt failed{"putting the new link at " + stablePath, errno};
    ::unlink(fresh.c_str());
    return failed;
  }
  return {};
}

// Whether `stablePath` leads to an executable file named as the program:
// another copy of it, installing at the same moment, linked it last.
bool leadsToAnotherCopy(const std::string& stablePath, const std::string& selfPath) {
  const std::string target = withLinksResolved(stablePath);
  return isExecutableFile(target) &&
         std::filesystem::path(target).filename() == std::filesystem::path(selfPath).filename();
}

// The first folder on the way to `path` that this process may not enter;
// empty when it may enter them all.
std::string firstFolderNotEntered(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (::access(folder.c_str(), X_OK) != 0 && errno == EACCES) return folder;
  }
  return {};
}

// Under root the program acts as the home's owner, for whom the command is
// registered: a program in a folder of root's only would be registered as a
// command that the user's assistants cannot start.
void requireStartable(const std::string& selfPath) {
  std::string why;
  struct stat info;
  if (std::string folder = firstFolderNotEntered(selfPath); !folder.empty()) {
    why = "cannot enter the folder " + folder;
  } else if (::stat(selfPath.c_str(), &info) == 0 && (info.st_mode & 0111) != 0 &&
             ::access(selfPath.c_str(), X_OK) != 0) {
    why = "may not execute it";
  } else {
    return;
  }
  throw std::runtime_error("the assistants could not start this program, " + selfPath + ": uid " +
                           std::to_string(::getuid()) + ", for whom it is registered, " + why +
                           "; put the program where that user can run it; no configuration "
                           "file was changed");
}

// The running program's path as the operating system knows it, with links
// resolved; nullopt where it cannot tell.
std::optional<std::string> executablePathFromSystem() {
#if defined(__linux__)
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return withLinksResolved(path.native());
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  ::_NSGetExecutablePath(nullptr, &size);
  std::string path(size, '\0');
  if (::_NSGetExecutablePath(path.data(), &size) != 0) return std::nullopt;
  path.resize(std::strlen(path.c_str()));
  return withLinksResolved(path);
#else
  return std::nullopt;
#endif
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

std::string runningExecutablePath(const std::vector<std::string>& arguments) {
  if (auto reported = executablePathFromSystem()) return *reported;
  const std::string invocation = arguments.empty() ? std::string() : arguments.front();
  return selfExecutablePath(invocation, executableSearchPath(), currentDirectory());
}

std::string stableCommandPathLinkedTo(const std::string& selfPath, const std::string& home) {
  requireStartable(selfPath);
  std::string stablePath = stableCommandPathFor(home);
  if (!isExecutableFile(selfPath)) {
    return existsFollowingLinks(stablePath) ? stablePath : selfPath;
  }
  return checkedStableCommandPath(stablePath, selfPath, refreshStableLink(stablePath, selfPath));
}

std::string checkedStableCommandPath(const std::string& stablePath, const std::string& selfPath,
                                     const StableLinkAttempt& attempt) {
  if (leadsTo(stablePath, selfPath)) return stablePath;
  std::string why = "the command " + stablePath +
                    " that the assistants are to run cannot be made to lead to " + selfPath + ": ";
  struct stat there;
  if (!attempt.failedStep.empty()) {
    why += attempt.failedStep + " failed: " + std::strerror(attempt.error);
  } else if (::lstat(stablePath.c_str(), &there) == 0 && !S_ISLNK(there.st_mode) &&
             holdsTheProgram(there, selfPath)) {
    why += "it holds this program, which is never removed; move the program out of it";
  } else if (leadsToAnotherCopy(stablePath, selfPath)) {
    return stablePath;
  } else {
    why += "something else changed it meanwhile; run the install again";
  }
  throw std::runtime_error(why + "; no configuration file was changed");
}

std::string stableSelfCommandPath(const std::vector<std::string>& arguments,
                                  const std::string& home) {
  return stableCommandPathLinkedTo(runningExecutablePath(arguments), home);
}

}  // namespace mivet::mcp
