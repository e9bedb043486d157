#pragma once

#include <optional>
#include <string>

namespace mivet {

// The whole content of the file at `path`, nullopt when it cannot be opened
// or read.
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace mivet
