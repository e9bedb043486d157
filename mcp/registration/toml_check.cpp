#include "mcp/registration/toml_check.h"

#include <toml++/toml.h>

#include <type_traits>

namespace mivet::mcp {
namespace {

std::string describe(const toml::parse_error& error) {
  const auto& where = error.source().begin;
  return std::string(error.description()) + " at line " + std::to_string(where.line) + ", column " +
         std::to_string(where.column);
}

// The document without the server's table, and without "mcp_servers" when
// that table was all it held.
void eraseMivetTable(toml::table& document) {
  toml::table* servers = document["mcp_servers"].as_table();
  if (servers == nullptr) return;
  servers->erase("mivet");
  if (servers->empty()) document.erase("mcp_servers");
}

bool sameValue(const toml::node& a, const toml::node& b) {
  return a.visit([&](const auto& typed) {
    const auto* other = b.as<std::remove_cvref_t<decltype(typed)>>();
    return other != nullptr && *other == typed;
  });
}

// The dotted name of the first key whose value differs, looking into tables
// present on both sides; nullopt when the tables are equal.
std::optional<std::string> firstDifference(const toml::table& a, const toml::table& b,
                                           const std::string& prefix) {
  for (const auto& [key, value] : a) {
    std::string name = prefix + std::string(key.str());
    const toml::node* other = b.get(key.str());
    if (other == nullptr) return name;
    if (value.is_table() && other->is_table()) {
      if (auto inner = firstDifference(*value.as_table(), *other->as_table(), name + ".")) {
        return inner;
      }
    } else if (!sameValue(value, *other)) {
      return name;
    }
  }
  for (const auto& [key, value] : b) {
    if (!a.contains(key.str())) return prefix + std::string(key.str());
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> tomlSyntaxProblem(std::string_view text) {
  try {
    std::ignore = toml::parse(text);
    return std::nullopt;
  } catch (const toml::parse_error& error) {
    return describe(error);
  }
}

std::optional<std::string> codexEditProblem(std::string_view before, std::string_view after) {
  toml::table original, edited;
  try {
    original = toml::parse(before);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
  try {
    edited = toml::parse(after);
  } catch (const toml::parse_error& error) {
    return "it would become invalid TOML (" + describe(error) + ")";
  }
  eraseMivetTable(original);
  eraseMivetTable(edited);
  if (auto key = firstDifference(original, edited, "")) {
    return "it would also change the value of " + *key;
  }
  return std::nullopt;
}

}  // namespace mivet::mcp
