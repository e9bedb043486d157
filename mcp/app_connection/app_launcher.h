#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivet::mcp {

// The bundle identifier the desktop application declares; the last resort
// for finding it.
inline constexpr std::string_view mivetBundleIdentifier = "com.mivet.desktop";
inline constexpr std::string_view standardAppLocation = "/Applications/Mivet.app";
inline constexpr const char* openCommandPath = "/usr/bin/open";

// The arguments for `open`: the path recorded in app_path.txt when something
// exists there, else the standard location when it exists, else the bundle
// identifier. `recordedPathFile` is the file's text, nullopt when unreadable.
std::vector<std::string> openArguments(const std::optional<std::string>& recordedPathFile,
                                       const std::function<bool(const std::string&)>& exists);

// Starts the desktop application in the background through `open` and waits
// for `open` to exit. Reports nothing: whether it worked shows in whether the
// application answers afterwards.
void launchMivetAppInBackground();

}  // namespace mivet::mcp
