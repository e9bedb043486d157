#pragma once

#include "common/file_io.h"

#include <functional>
#include <string>
#include <string_view>

namespace mivet {

// Replaces the file at `path` with `content` so that a reader sees either the
// old or the new file, never a mix: the content goes to a temporary file
// created exclusively in the directory of the final target with the old
// file's permission bits from the start (a new file gets 0666 less the
// umask); it is flushed to disk and renamed over the target. Only a regular
// file that this process may write is replaced: a directory, a FIFO, a
// device or a file it has no write permission for makes it fail. When `path`
// is a symbolic link, the link stays and its final target is replaced. On
// failure the temporary file is removed, the old file is left intact, and
// std::runtime_error is thrown with a description that names the file.
void replaceFileAtomically(const std::string& path, std::string_view content);

// Called with the temporary file's path as soon as it exists, before its
// permission bits are set again and before any content goes in; lets a test
// look at the file at that moment.
using TemporaryFileObserver = std::function<void(const std::string& temporaryPath)>;

// The first half of replaceFileAtomically: the new content written and
// flushed to disk in a temporary file beside the final target, with the
// same rules for what may be replaced, the mode and the links. Nothing at
// `path` changes until a commit; an uncommitted temporary file is removed
// when this goes out of scope. The constructor throws std::runtime_error
// naming the file.
class PreparedReplacement {
 public:
  PreparedReplacement(const std::string& path, std::string_view content,
                      const TemporaryFileObserver& observer = nullptr);
  ~PreparedReplacement();
  PreparedReplacement(const PreparedReplacement&) = delete;
  PreparedReplacement& operator=(const PreparedReplacement&) = delete;

  // Renames the temporary file over the final target and makes that
  // durable. Throws std::runtime_error naming the file when the rename fails.
  void commit();

  // The rename alone, only while the final target is still the version
  // `expected` (one whose `exists` is false: still absent), checked just
  // before it. Returns false, changing nothing, when another program has
  // replaced, written or created it since: a writer that takes no lock can
  // then only slip in between that check and the rename. makeDurable
  // follows, once whatever lock guarded the rename is released.
  bool moveIntoPlaceIfUnchanged(const FileVersion& expected);

  // Flushes the directory, so that the rename survives a power failure.
  void makeDurable() const;

 private:
  void moveIntoPlace();

  std::string reportedPath_;
  std::string targetPath_;
  std::string temporaryPath_;  // empty once committed
};

}  // namespace mivet
