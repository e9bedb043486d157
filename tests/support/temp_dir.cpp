#include "temp_dir.h"

#include <stdlib.h>  // mkdtemp on Linux
#include <unistd.h>  // mkdtemp on macOS

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace mivet::test {

TempDir::TempDir() {
  char pattern[] = "/tmp/mivet-t-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool tempFolderTellsCaseApart() {
  static const bool apart = [] {
    TempDir dir;
    writeFile(dir.file("a"), "");
    return !std::filesystem::exists(dir.file("A"));
  }();
  return apart;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string entryOnceThere(const std::string& directory, const std::string& prefix,
                           std::chrono::milliseconds timeout) {
  for (auto giveUp = std::chrono::steady_clock::now() + timeout;
       std::chrono::steady_clock::now() < giveUp;
       std::this_thread::sleep_for(std::chrono::milliseconds(1)))
    for (const auto& entry : std::filesystem::directory_iterator(directory))
      if (entry.path().filename().native().starts_with(prefix)) return entry.path();
  return "";
}

void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace mivet::test
