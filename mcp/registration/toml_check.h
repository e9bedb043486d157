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

// Whether `text` is valid TOML that holds the key mcp_servers.mivet, with any
// value; nullopt when `text` is not valid TOML. Never throws.
std::optional<bool> codexServerDefined(std::string_view text);

// How the valid TOML `text` defines mcp_servers.mivet, for a message: the form
// ("dotted keys", "an inline table", "a table header") followed by the line
// that holds it, in parentheses. nullopt when `text` does not define it or
// is not valid TOML. Never throws.
std::optional<std::string> codexServerDefinition(std::string_view text);

// Why `text` does not hold exactly the server's table as written, with
// `command` and no arguments, under mcp_servers.mivet: it is not valid TOML,
// or the table is missing, inline or differs. nullopt when it does. Never
// throws.
std::optional<std::string> codexServerTableProblem(std::string_view text, std::string_view command);

}  // namespace mivet::mcp
