#pragma once

#include "common/file_io.h"

#include <memory>
#include <string>
#include <string_view>

namespace mivet {

// Replaces the file at `path` with `content` so that a reader sees either the
// old or the new file, never a mix: the content goes to a temporary file
// created exclusively in the directory of the final target, readable by its
// owner alone until it is given the old file's permission bits (a new file
// gets 0666 less the umask), before any content goes in; it is flushed to
// disk and renamed over the target. Only a regular file that this process
// may write is replaced: a directory, a FIFO, a device or a file it has no
// write permission for makes it fail. When `path` is a symbolic link, the
// link stays and its final target is replaced. On failure the temporary
// file is removed, the old file is left intact, and std::runtime_error is
// thrown with a description that names the file.
void replaceFileAtomically(const std::string& path, std::string_view content);

struct TemporaryFile;

// The first half of replaceFileAtomically: the new content written and
// flushed to disk in a temporary file beside `target`, the final target of
// `path` (finalTargetOf), with the same rules for what may be replaced and
// the mode. Nothing at `target` changes until a commit. The temporary file
// is removed unless it was moved into place, also when the process is
// interrupted (removeTemporaryFilesOnInterrupt). The constructor throws
// std::runtime_error naming `path`.
class PreparedReplacement {
 public:
  PreparedReplacement(const std::string& path, const std::string& target, std::string_view content);
  ~PreparedReplacement();
  PreparedReplacement(const PreparedReplacement&) = delete;
  PreparedReplacement& operator=(const PreparedReplacement&) = delete;

  // Renames the temporary file over the target and makes that durable.
  // Throws std::runtime_error naming the file when the rename fails.
  void commit();

  // Moves the new file into place only while the target is still the
  // version `expected` (one whose `exists` is false: still absent), and
  // returns false, with the target as the other program left it, when
  // another program has replaced, written or created it since. Where the
  // system can swap two files (Linux, macOS) the new file is swapped in and
  // what came out is checked, and another program's version is put back, so
  // that even a writer that takes no lock loses nothing. Where the swap
  // cannot be done (another file system, no file yet), the version is
  // checked just before a rename. makeDurable follows, once whatever lock
  // guarded this is released. Throws std::runtime_error naming the file when
  // the move fails.
  bool moveIntoPlaceIfUnchanged(const FileVersion& expected);

  // Flushes the directory, so that the rename survives a power failure.
  void makeDurable() const;

 private:
  bool keepSwapIfExpectedCameOut(const FileVersion& expected);
  void moveIntoPlace();

  std::string reportedPath_;
  std::string targetPath_;
  std::unique_ptr<TemporaryFile> temporary_;
};

}  // namespace mivet
