#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

// The status document: for Antigravity, Claude Code and Codex whether their
// configuration holds the server's registration and where it lives, and the
// stable command path; pretty-printed, keys sorted, slashes escaped, no final
// line end. Bytes of a path that are not UTF-8 show as U+FFFD. Only reads;
// never fails.
std::string registrationStatusJson(const std::string& home, const std::string& claudePath,
                                   const std::string& codexPath,
                                   const std::vector<std::string>& antigravityPaths);

// Prints the status document and a line end on stdout. Never fails.
void printRegistrationStatus(const std::string& home, const std::string& claudePath,
                             const std::string& codexPath,
                             const std::vector<std::string>& antigravityPaths);

}  // namespace mivet::mcp
