#pragma once

#include <string>

namespace mivet::mcp {

// What reading a configuration file found.
struct ConfigFileRead {
  enum class Outcome { missing, unreadable, read };
  Outcome outcome = Outcome::missing;
  std::string content{};  // the whole file when read
  std::string problem{};  // why it could not be read, naming the file, when unreadable
};

// Reads the whole file at `path`. Nothing there (also a dangling link) is
// `missing`; anything but a regular file (a FIFO, a device, a directory) and
// anything else that stops the read is `unreadable`. Never blocks on a FIFO
// and reads no more than the file's size. Never throws for file-system
// reasons.
ConfigFileRead readConfigFile(const std::string& path);

// Creates `directory` and every missing parent; an existing directory (or a
// link to one) is fine. Running as root, each directory made gets the owner
// and group of the directory it was made in. Returns 0, or the errno of the
// step that failed.
int createDirectories(const std::string& directory);

// Creates the directory that holds `path`, with every missing parent; an
// existing directory is fine. Throws std::runtime_error naming the
// directory when it cannot be created.
void createParentDirectories(const std::string& path);

}  // namespace mivet::mcp
