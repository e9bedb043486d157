#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mivet::mcp {

// Why `text` is not a valid TOML document ("<what> at line L, column C");
// nullopt when it is. Never throws.
std::optional<std::string> tomlSyntaxProblem(std::string_view text);

}  // namespace mivet::mcp
