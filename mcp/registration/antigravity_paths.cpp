#include "mcp/registration/antigravity_paths.h"

#include "common/file_io.h"
#include "mcp/registration/unicode_forms.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace mivet::mcp {
namespace {

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

// Code-point order after canonical composition (byte order of UTF-8 is
// code-point order), so that "é" sorts the same whether it is written
// precomposed or with a combining accent; names that compose alike keep
// their byte order.
std::vector<std::string> namesInCanonicalOrder(const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (const std::string& name : names) keyed.emplace_back(canonicallyComposed(name), name);
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::string> sorted;
  sorted.reserve(keyed.size());
  for (auto& [key, name] : keyed) sorted.push_back(std::move(name));
  return sorted;
}

}  // namespace

std::vector<std::string> antigravityConfigPaths(const std::string& home) {
  std::vector<std::string> paths{home + "/.gemini/config/mcp_config.json"};
  if (existsFollowingLinks(home + "/.gemini/antigravity")) {
    paths.push_back(home + "/.gemini/antigravity/mcp_config.json");
  }
  const std::string providers = home + "/.t3/userdata/providers/antigravity";
  for (const std::string& name : namesInCanonicalOrder(entryNames(providers))) {
    std::string configDirectory = providers + "/" + name + "/config";
    if (isDirectoryFollowingLinks(configDirectory))
      paths.push_back(configDirectory + "/mcp_config.json");
  }
  return paths;
}

}  // namespace mivet::mcp
