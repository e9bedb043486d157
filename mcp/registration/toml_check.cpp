#include "mcp/registration/toml_check.h"

#include "common/unicode_text.h"

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

std::optional<toml::table> parsedOrNothing(std::string_view text) {
  try {
    return toml::parse(text);
  } catch (const toml::parse_error&) {
    return std::nullopt;
  }
}

const toml::node* serverNode(const toml::table& document) {
  return document["mcp_servers"]["mivet"].node();
}

bool isInlineTable(const toml::node* node) {
  return node != nullptr && node->is_table() && node->as_table()->is_inline();
}

// Line `number` (counted from 1) of `text`, without its line end, blanks
// at either end and a byte-order mark.
std::string_view lineAt(std::string_view text, std::size_t number) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (; number > 1 && !text.empty(); --number) {
    std::size_t end = text.find('\n');
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  std::string_view line = text.substr(0, text.find('\n'));
  if (line.ends_with('\r')) line.remove_suffix(1);
  return trimHorizontalWhitespace(line);
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

std::optional<bool> codexServerDefined(std::string_view text) {
  auto document = parsedOrNothing(text);
  if (!document) return std::nullopt;
  return serverNode(*document) != nullptr;
}

std::optional<std::string> codexServerDefinition(std::string_view text) {
  auto document = parsedOrNothing(text);
  if (!document) return std::nullopt;
  const toml::node* server = serverNode(*document);
  if (server == nullptr) return std::nullopt;
  std::string_view line = lineAt(text, server->source().begin.line);
  std::string form = isInlineTable(server) || isInlineTable(document->get("mcp_servers"))
                         ? "an inline table"
                     : line.starts_with('[') ? "a table header"
                                             : "dotted keys";
  return form + " (" + std::string(line) + ")";
}

std::optional<std::string> codexServerTableProblem(std::string_view text,
                                                   std::string_view command) {
  toml::table document;
  try {
    document = toml::parse(text);
  } catch (const toml::parse_error& error) {
    return "it would be invalid TOML (" + describe(error) + ")";
  }
  const toml::node* server = serverNode(document);
  if (server == nullptr) return "mcp_servers.mivet would be missing";
  toml::table expected{{"command", std::string(command)}, {"args", toml::array{}}};
  if (!server->is_table() || isInlineTable(server) || *server->as_table() != expected) {
    return "mcp_servers.mivet would not be exactly the table written";
  }
  return std::nullopt;
}

}  // namespace mivet::mcp
