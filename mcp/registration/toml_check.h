#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mivet::mcp {

// Why `text` is not a valid TOML document ("<what> at line L, column C");
// nullopt when it is. Never throws.
std::optional<std::string> tomlSyntaxProblem(std::string_view text);

// What goes wrong when the Codex document `before` is replaced by `after`, an
// edit meant to touch only the server's table `mcp_servers.mivet`: `after` is
// no longer valid TOML, or the value of some other key differs (described by
// its dotted name). nullopt when the edit is clean, and when `before` is not
// valid TOML, as there is then nothing to compare. Never throws.
std::optional<std::string> codexEditProblem(std::string_view before, std::string_view after);

}  // namespace mivet::mcp
