#include "mcp/registration/codex_tables.h"

#include "common/unicode_text.h"
#include "mcp/registration/toml_header.h"

namespace mivet::mcp {
namespace {

TextLines linesOf(std::string_view text) {
  TextLines result;
  result.byteOrderMark = text.starts_with(byteOrderMark);
  if (result.byteOrderMark) text.remove_prefix(byteOrderMark.size());
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    result.lines.push_back(text.substr(start, end - start));
  }
  result.lines.push_back(text.substr(start));
  return result;
}

bool opensTable(std::string_view line) {
  return lineText(line).starts_with('[');
}

// A header of the server's table, of one of its sub-tables or of an array of
// tables below it, in any spelling the header-line reading understands.
bool isServerHeaderLine(std::string_view line) {
  auto key = tableHeaderKey(lineText(line));
  return key && key->size() >= 2 && (*key)[0] == "mcp_servers" && (*key)[1] == "mivet";
}

// Line `number` (counted from 1, as toml++ counts) of `text`; empty past its end.
std::string_view lineAt(const TextLines& text, std::size_t number) {
  return number >= 1 && number <= text.lines.size() ? text.lines[number - 1] : std::string_view();
}

// Marks the header line of every table at or below `node` that a header
// opens; tables made by dotted keys start on a key, inline ones are skipped.
void markHeaderLines(const toml::node& node, const TextLines& text, LineFlags& headers) {
  if (const toml::table* table = node.as_table()) {
    std::size_t line = table->source().begin.line;
    if (!table->is_inline() && opensTable(lineAt(text, line))) headers[line - 1] = true;
    for (const auto& [key, value] : *table) markHeaderLines(value, text, headers);
  } else if (const toml::array* array = node.as_array()) {
    for (const toml::node& element : *array) markHeaderLines(element, text, headers);
  }
}

// Each of `headers` with the lines after it up to the next line in `opens`.
LineFlags blockLines(const LineFlags& headers, const LineFlags& opens) {
  LineFlags block(headers.size(), false);
  for (std::size_t at = 0; at < headers.size(); ++at) {
    block[at] = headers[at] || (at > 0 && block[at - 1] && !opens[at]);
  }
  return block;
}

// The first node at or below `node` that starts outside `block`; nullptr
// when there is none.
const toml::node* nodeOutside(const toml::node& node, const LineFlags& block) {
  std::size_t line = node.source().begin.line;
  if (line < 1 || line > block.size() || !block[line - 1]) return &node;
  const toml::node* outside = nullptr;
  if (const toml::table* table = node.as_table()) {
    for (auto it = table->begin(); outside == nullptr && it != table->end(); ++it) {
      outside = nodeOutside(it->second, block);
    }
  } else if (const toml::array* array = node.as_array()) {
    for (auto it = array->begin(); outside == nullptr && it != array->end(); ++it) {
      outside = nodeOutside(*it, block);
    }
  }
  return outside;
}

bool isInlineTable(const toml::node* node) {
  return node != nullptr && node->is_table() && node->as_table()->is_inline();
}

void findInDocument(ServerTables& found) {
  const toml::table& document = *found.toml.document;
  const toml::node* server = serverNode(document);
  if (server == nullptr) return;
  found.registered = true;
  LineFlags opens(found.headers.size(), false);
  markHeaderLines(*server, found.text, found.headers);
  for (const auto& [key, value] : document) markHeaderLines(value, found.text, opens);
  found.block = blockLines(found.headers, opens);
  if (const toml::node* stray = nodeOutside(*server, found.block)) {
    found.strayForm = formOf(*stray, document, found.text);
  }
}

void findInHeaderLines(ServerTables& found) {
  LineFlags opens(found.headers.size(), false);
  for (std::size_t at = 0; at < found.headers.size(); ++at) {
    found.headers[at] = isServerHeaderLine(found.text.lines[at]);
    opens[at] = opensTable(found.text.lines[at]);
    found.registered = found.registered || found.headers[at];
  }
  found.block = blockLines(found.headers, opens);
}

}  // namespace

std::string_view lineText(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return trimHorizontalWhitespace(line);
}

TomlReading readToml(std::string_view text) {
  try {
    return {toml::parse(text), {}};
  } catch (const toml::parse_error& error) {
    const auto& where = error.source().begin;
    return {std::nullopt, std::string(error.description()) + " at line " +
                              std::to_string(where.line) + ", column " +
                              std::to_string(where.column)};
  }
}

const toml::node* serverNode(const toml::table& document) {
  return document["mcp_servers"]["mivet"].node();
}

std::string formOf(const toml::node& node, const toml::table& document, const TextLines& text) {
  std::string_view line = lineAt(text, node.source().begin.line);
  std::string form =
      isInlineTable(serverNode(document)) || isInlineTable(document.get("mcp_servers"))
          ? "an inline table"
      : opensTable(line) ? "a table header"
                         : "dotted keys";
  return form + " (" + std::string(lineText(line)) + ")";
}

ServerTables findServerTables(std::string_view text) {
  ServerTables found{linesOf(text), readToml(text)};
  found.headers.assign(found.text.lines.size(), false);
  found.block = found.headers;
  if (found.toml.document) {
    findInDocument(found);
  } else {
    findInHeaderLines(found);
  }
  return found;
}

}  // namespace mivet::mcp
