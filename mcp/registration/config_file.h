#pragma once

#include "common/file_io.h"
#include "mcp/registration/directory_lock.h"

#include <functional>
#include <optional>
#include <string>

namespace mivet::mcp {

// What reading a configuration file found: the path as configured, resolved
// once into the file it leads to and the state of that file that was read.
struct ConfigFileRead {
  enum class Outcome { missing, unreadable, read };
  Outcome outcome = Outcome::missing;
  std::string content{};  // the whole file when read
  std::string problem{};  // why it could not be read, naming the file, when unreadable
  std::string path{};     // as configured
  std::string target{};   // where its symbolic links lead: the file read (`path` when no link)
  FileVersion version{};  // which state of `target` was read; missing: not `exists`
};

// Reads the whole file at `path`. Nothing there (also a dangling link) is
// `missing`; anything but a regular file (a FIFO, a device, a directory) and
// anything else that stops the read is `unreadable`. Never blocks on a FIFO
// and reads no more than the file's size. Never throws for file-system
// reasons.
ConfigFileRead readConfigFile(const std::string& path);

// What an edit makes of the configuration file it was given: the new
// content, or nullopt when the file is to stay as it is. Throws
// std::runtime_error when the file cannot be edited safely.
using ConfigEdit = std::function<std::optional<std::string>(const ConfigFileRead& file)>;

// How editConfigFile shares the file with the other programs that write it.
struct SharedFileOptions {
  // The directory `<path>.lock`, the lock Claude Code takes around its own
  // edits of its file; nullopt: no lock.
  std::optional<LockTiming> lock{};
  // How often the edit is redone when another program changes the file
  // between the read and the replace, before giving up.
  int attempts = 10;
};

// Reads the file at `path`, hands it to `edit` and replaces it with what the
// edit makes, only while `path` still leads to the file that was read and
// that file is as it was read; otherwise (another program wrote it, renamed
// a file over it or over one of its links, or pointed a link elsewhere)
// reads what is there now and redoes the edit, so that nothing the other
// program wrote is lost and only the file `path` leads to is written. That
// check and the move into place happen together under the lock, when one is
// asked for, which is always `<path>.lock` beside the path as configured;
// the new content is written and flushed before the lock is taken, so that
// it is held for as short a time as possible (a writer that finds it taken
// may give up waiting and write without it). Throws the edit's or the
// replacement's std::runtime_error, and one that names the file when it
// kept changing for every attempt or the lock could not be taken; the file
// is then unchanged.
void editConfigFile(const std::string& path, const ConfigEdit& edit,
                    const SharedFileOptions& options = {});

// Creates the directory that holds `path`, with every missing parent; an
// existing directory is fine. Throws std::runtime_error naming the
// directory when it cannot be created.
void createParentDirectories(const std::string& path);

}  // namespace mivet::mcp
