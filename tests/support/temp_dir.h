#pragma once

#include <chrono>
#include <string>

namespace mivet::test {

// A fresh directory under /tmp, removed with its contents at destruction.
// Paths in it stay short enough for a Unix socket.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whether names in the temporary folder differ by letter case alone ("A" and
// "a" two entries), as on Linux; macOS's default disk takes them as one.
// Probed once.
bool tempFolderTellsCaseApart();

// The path of an entry of `directory` whose name begins with `prefix`, once
// one is there; "" when none came within `timeout`.
std::string entryOnceThere(const std::string& directory, const std::string& prefix,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace mivet::test
