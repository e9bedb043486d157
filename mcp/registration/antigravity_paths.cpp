#include "mcp/registration/antigravity_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace mivet::mcp {
namespace {

bool existsFollowingLinks(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool isDirectoryFollowingLinks(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Names in `directory`, hidden ones included; empty when it cannot be listed.
std::vector<std::string> entryNames(const std::string& directory) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), ::closedir);
  if (!listing) return names;
  while (const dirent* entry = ::readdir(listing.get())) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  return names;
}

}  // namespace

std::vector<std::string> antigravityConfigPaths(const std::string& home) {
  std::vector<std::string> paths{home + "/.gemini/config/mcp_config.json"};
  if (existsFollowingLinks(home + "/.gemini/antigravity")) {
    paths.push_back(home + "/.gemini/antigravity/mcp_config.json");
  }
  const std::string providers = home + "/.t3/userdata/providers/antigravity";
  std::vector<std::string> names = entryNames(providers);
  // Byte order of UTF-8 is code-point order.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string configDirectory = providers + "/" + name + "/config";
    if (isDirectoryFollowingLinks(configDirectory))
      paths.push_back(configDirectory + "/mcp_config.json");
  }
  return paths;
}

}  // namespace mivet::mcp
