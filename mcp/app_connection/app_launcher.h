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

// The text of the app path file at `path`; nullopt when it is missing, not a
// regular file (a FIFO or a device is never opened for reading), over 4 KiB,
// unreadable or not UTF-8, which all count as no recorded path.
std::optional<std::string> readAppPathFile(const std::string& path);

// Starts the desktop application in the background through `open` and waits
// for `open` to exit. Reports nothing: whether it worked shows in whether the
// application answers afterwards.
void launchMivetAppInBackground();

}  // namespace mivet::mcp
