#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mivet::mcp {

// The status document: for Antigravity, Claude Code and Codex whether their
// configuration holds the server's registration and where it lives, and the
// stable command path; pretty-printed, keys sorted, slashes escaped, no final
// line end. Only reads. nullopt when a path is not valid UTF-8.
std::optional<std::string> registrationStatusJson(const std::string& home,
                                                  const std::string& claudePath,
                                                  const std::string& codexPath,
                                                  const std::vector<std::string>& antigravityPaths);

// Prints the status document and a line end on stdout; prints nothing when it
// cannot be serialised. Never fails.
void printRegistrationStatus(const std::string& home, const std::string& claudePath,
                             const std::string& codexPath,
                             const std::vector<std::string>& antigravityPaths);

}  // namespace mivet::mcp
