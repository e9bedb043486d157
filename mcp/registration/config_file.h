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
// `missing`; anything else that stops the read is `unreadable`. Never throws
// for file-system reasons.
ConfigFileRead readConfigFile(const std::string& path);

// `path` without its last component ("." when it has no slash).
std::string parentDirectoryOf(const std::string& path);

// Creates the directory that holds `path`, with every missing parent; an
// existing directory is fine. Throws std::runtime_error naming the
// directory when it cannot be created.
void createParentDirectories(const std::string& path);

}  // namespace mivet::mcp
