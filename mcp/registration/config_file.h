#pragma once

#include "common/file_io.h"
#include "mcp/registration/directory_lock.h"

#include <functional>
#include <optional>
#include <string>

namespace mivet::mcp {

// What reading a configuration file found.
struct ConfigFileRead {
  enum class Outcome { missing, unreadable, read };
  Outcome outcome = Outcome::missing;
  std::string content{};  // the whole file when read
  std::string problem{};  // why it could not be read, naming the file, when unreadable
  FileVersion version{};  // which state of the file was read; missing: not `exists`
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
// edit makes, only while it is still the file that was read; when another
// program replaced or changed it in between, reads it again and redoes the
// edit, so that nothing the other program wrote is lost. The lock, when
// asked for, is held from that last check to the rename: the new content is
// written and flushed before it is taken, so that it is held for as short a
// time as possible (a writer that finds it taken may give up waiting and
// write without it). Throws the edit's or the replacement's
// std::runtime_error, and one that names the file when it kept changing for
// every attempt or the lock could not be taken; the file is then unchanged.
void editConfigFile(const std::string& path, const ConfigEdit& edit,
                    const SharedFileOptions& options = {});

// Creates the directory that holds `path`, with every missing parent; an
// existing directory is fine. Throws std::runtime_error naming the
// directory when it cannot be created.
void createParentDirectories(const std::string& path);

}  // namespace mivet::mcp
