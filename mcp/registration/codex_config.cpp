#include "mcp/registration/codex_config.h"

#include "common/unicode_text.h"
#include "mcp/registration/codex_tables.h"
#include "mcp/registration/config_file.h"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>

namespace mivet::mcp {
namespace {

[[noreturn]] void refuseForm(const std::string& path, const std::string& form) {
  throw std::runtime_error(path + " was left unchanged: it defines the mivet server with " + form +
                           ", a form this command cannot take out or replace; edit it by hand");
}

[[noreturn]] void refuseEdit(const std::string& path, const std::string& problem) {
  // A header line inside a multi-line string is text, not a table, but the
  // header-line reading of a file that is not TOML cannot tell.
  throw std::runtime_error(
      path + " was left unchanged: editing the mivet server would go wrong, as " + problem +
      "; probably a table header line stands inside a multi-line string; edit it by hand");
}

// The document without the server, and without "mcp_servers" when that held nothing else.
toml::table withoutServer(toml::table document) {
  if (toml::table* servers = document["mcp_servers"].as_table()) {
    servers->erase("mivet");
    if (servers->empty()) document.erase("mcp_servers");
  }
  return document;
}

std::string placeholderKey(std::size_t line) {
  return "mivet-server-table-at-line-" + std::to_string(line);
}

// What an edit must keep: everything but the server, as toml++ reads it. A
// text that toml++ cannot read is read with each of the server's header lines
// turned into a header of its own name, so that it reads when the server's
// tables were all that was wrong (defined more than once); nullopt when it
// does not read either. Throws when the server is also spelled in a form its
// tables do not hold.
std::optional<toml::table> othersBefore(const ServerTables& found, const std::string& path) {
  if (!found.strayForm.empty()) refuseForm(path, found.strayForm);
  if (found.toml.document) return withoutServer(*found.toml.document);
  if (!found.registered) return std::nullopt;
  std::string renamed;
  for (std::size_t at = 0; at < found.text.lines.size(); ++at) {
    if (at > 0) renamed += '\n';
    renamed +=
        found.headers[at] ? "[" + placeholderKey(at) + "]" : std::string(found.text.lines[at]);
  }
  TomlReading others = readToml(renamed);
  if (!others.document) return std::nullopt;
  if (const toml::node* server = serverNode(*others.document)) {
    refuseForm(path, formOf(*server, *others.document, found.text));
  }
  for (std::size_t at = 0; at < found.text.lines.size(); ++at) {
    if (found.headers[at]) others.document->erase(placeholderKey(at));
  }
  return withoutServer(std::move(*others.document));
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

void requireOthersKept(const toml::table& before, const toml::table& after,
                       const std::string& path) {
  if (auto key = firstDifference(before, withoutServer(after), "")) {
    refuseEdit(path, "it would also change the value of " + *key);
  }
}

// The lines outside the server's tables, without trailing blank lines, each
// ending in LF; a byte-order mark stays when anything is left.
std::string linesOutsideServer(const ServerTables& found) {
  std::size_t end = found.text.lines.size();
  while (end > 0 && (found.block[end - 1] || lineText(found.text.lines[end - 1]).empty())) --end;
  std::string rest;
  for (std::size_t at = 0; at < end; ++at) {
    if (found.block[at]) continue;
    rest += found.text.lines[at];
    rest += '\n';
  }
  if (found.text.byteOrderMark && !rest.empty()) rest.insert(0, byteOrderMark);
  return rest;
}

// A TOML basic string's content: backslashes and quotes escaped first, as
// the original format of this table did, then the control characters a
// basic string may not hold. A tab may stand as it is.
std::string escapedForTomlBasicString(std::string_view text) {
  static constexpr char hexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      escaped += '\\';
      escaped += c;
    } else if (c == '\b' || c == '\n' || c == '\f' || c == '\r') {
      escaped += c == '\b' ? "\\b" : c == '\n' ? "\\n" : c == '\f' ? "\\f" : "\\r";
    } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      escaped += "\\u00";
      escaped += hexDigits[byte >> 4];
      escaped += hexDigits[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string codexTextWithServer(std::string_view text, const std::string& command,
                                const std::string& path) {
  ServerTables found = findServerTables(text);
  std::optional<toml::table> before = othersBefore(found, path);
  if (!before) {
    throw std::runtime_error(path + " was left unchanged: it is not valid TOML (" +
                             found.toml.problem +
                             "), so Codex could not read the server from it; correct it first");
  }
  std::string edited = linesOutsideServer(found);
  if (!edited.empty()) edited += '\n';
  edited +=
      "[mcp_servers.mivet]\ncommand = \"" + escapedForTomlBasicString(command) + "\"\nargs = []\n";
  TomlReading after = readToml(edited);
  std::string failure = path + " was left unchanged: after adding the mivet server, ";
  if (!after.document) {
    throw std::runtime_error(failure + "it would be invalid TOML (" + after.problem + ")");
  }
  const toml::node* server = serverNode(*after.document);
  toml::table expected{{"command", command}, {"args", toml::array{}}};
  if (server == nullptr || !server->is_table() || server->as_table()->is_inline() ||
      *server->as_table() != expected) {
    throw std::runtime_error(failure + "mcp_servers.mivet would not be exactly the table written");
  }
  requireOthersKept(*before, *after.document, path);
  return edited;
}

std::optional<std::string> codexTextWithoutServer(std::string_view text, const std::string& path) {
  ServerTables found = findServerTables(text);
  if (!found.registered) return std::nullopt;
  std::optional<toml::table> before = othersBefore(found, path);
  std::string rest = linesOutsideServer(found);
  ServerTables after = findServerTables(rest);
  if (after.toml.document) {
    if (const toml::node* server = serverNode(*after.toml.document)) {
      refuseForm(path, formOf(*server, *after.toml.document, after.text));
    }
    if (before) requireOthersKept(*before, *after.toml.document, path);
  } else if (before) {
    refuseEdit(path, "it would become invalid TOML (" + after.toml.problem + ")");
  }
  return rest;
}

// The file's text, when it is one the edits may look into.
std::optional<std::string> utf8Text(const ConfigFileRead& file) {
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) {
    return std::nullopt;
  }
  return file.content;
}

}  // namespace

void upsertCodexMCP(const std::string& path, const std::string& command) {
  createParentDirectories(path);
  editConfigFile(path, [&](const ConfigFileRead& file) -> std::optional<std::string> {
    if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
    if (!isValidUtf8(file.content)) {
      throw std::runtime_error(path + " is not UTF-8 text; it was left unchanged");
    }
    return codexTextWithServer(file.content, command, path);
  });
}

void removeCodexMCP(const std::string& path) {
  editConfigFile(path, [&](const ConfigFileRead& file) -> std::optional<std::string> {
    auto text = utf8Text(file);
    return text ? codexTextWithoutServer(*text, path) : std::nullopt;
  });
}

bool hasCodexMCP(const std::string& path) {
  auto text = utf8Text(readConfigFile(path));
  return text && findServerTables(*text).registered;
}

}  // namespace mivet::mcp
