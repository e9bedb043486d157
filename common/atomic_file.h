#pragma once

#include <string>
#include <string_view>

namespace mivet {

// Replaces the file at `path` with `content` so that a reader sees either the
// old or the new file, never a mix: the content goes to a temporary file
// created exclusively in the directory of the final target with the old
// file's permission bits from the start (a new file gets 0666 less the
// umask) and, when running as root, the old file's owner and group (a new
// file: those of its directory); it is flushed to disk and renamed over the
// target. Only a regular file is replaced: a directory, a FIFO or a device
// there makes it fail. When `path` is a symbolic link, the link stays and its
// final target is replaced. On failure the temporary file is removed, the old
// file is left intact, and std::runtime_error is thrown with a description
// that names the file.
void replaceFileAtomically(const std::string& path, std::string_view content);

}  // namespace mivet
