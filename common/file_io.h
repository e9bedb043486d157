#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace mivet {

// One state of a file, enough to tell it from the next: another program's
// rename gives another inode, its write another size or modification time,
// and a change of its mode or owner another change time. Times are kept to
// the nanosecond where the file system has them.
struct FileVersion {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
  std::int64_t changedSeconds = 0, changedNanoseconds = 0;
  friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// Whether `a` and `b` are the same file holding the same content, as far as
// can be told without reading it. The change time is left out: renaming a
// file sets it, and a file renamed away and back is still the same version.
bool sameFileAndContent(const FileVersion& a, const FileVersion& b);

// The version of the file `info` describes.
FileVersion fileVersionOf(const struct stat& info);

// The version of the file at `path`, symbolic links followed; one whose
// `exists` is false when nothing is there.
FileVersion currentFileVersion(const std::string& path);

// What reading a whole file found.
struct FileContent {
  enum class Outcome { read, missing, notRegularFile, tooLarge, failed };
  Outcome outcome = Outcome::missing;
  std::string bytes{};    // the content when read
  int error = 0;          // errno when failed
  const char* kind{};     // what was found instead, when not a regular file ("a FIFO", ...)
  FileVersion version{};  // of the file read, taken from the open file; when missing, not `exists`
};

// Reads the regular file at `path` (symbolic links followed) whole. Anything
// else (a FIFO, a device, a socket, a directory) is not opened for reading at
// all, and the open cannot block, so a FIFO that appears in between does not
// stall the process either. Only the size the file had when it was opened is
// read, so a file that keeps growing cannot exhaust memory; a file over
// `maxBytes` is not read.
FileContent readRegularFile(const std::string& path,
                            std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// The whole content of the regular file at `path`, nullopt when it is
// missing, not a regular file, larger than `maxBytes`, or cannot be read.
std::optional<std::string> readWholeFile(
    const std::string& path, std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Whether something exists at `path`, symbolic links followed (so a dangling
// link does not count).
bool existsFollowingLinks(const std::string& path);

// Where the chain of symbolic links at `path` ends: the file that holds the
// content, which may not exist yet (a dangling link names where it goes);
// `path` itself when it is no link. Relative links are taken from the folder
// of the link that holds them. nullopt, with errno set, when a link cannot be
// read or there are more than 40 of them, as in a loop.
std::optional<std::string> finalTargetOf(const std::string& path);

// `path` without its last component: "." when it has no slash, "/" for a
// component right under the root.
std::string parentDirectoryOf(const std::string& path);

// Creates `directory` and every missing parent; an existing directory (or a
// link to one) is fine. Returns 0, or the errno of the step that failed.
int createDirectories(const std::string& directory);

}  // namespace mivet
