#include "mcp/registration/toml_check.h"

#include <toml++/toml.h>

#include <tuple>

namespace mivet::mcp {

std::optional<std::string> tomlSyntaxProblem(std::string_view text) {
  try {
    std::ignore = toml::parse(text);
    return std::nullopt;
  } catch (const toml::parse_error& error) {
    const auto& where = error.source().begin;
    return std::string(error.description()) + " at line " + std::to_string(where.line) +
           ", column " + std::to_string(where.column);
  }
}

}  // namespace mivet::mcp
