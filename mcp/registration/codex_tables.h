#pragma once

// Where the server's tables stand in the text of Codex's configuration; used
// only by codex_config.cpp.

#include <toml++/toml.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivet::mcp {

inline constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// A text's lines, split at LF as TOML counts them; a CR before the LF stays
// with its line. A byte-order mark at the start is not part of the first line.
struct TextLines {
  bool byteOrderMark = false;
  std::vector<std::string_view> lines;
};

using LineFlags = std::vector<bool>;  // one per line of a TextLines

// A line's text: without the CR of a CR LF line end, and trimmed of
// horizontal white space.
std::string_view lineText(std::string_view line);

// A text as toml++ reads it.
struct TomlReading {
  std::optional<toml::table> document;  // nullopt when toml++ cannot read the text
  std::string problem{};                // then why: "<what> at line L, column C"
};

TomlReading readToml(std::string_view text);

// mcp_servers.mivet in `document`, or nullptr.
const toml::node* serverNode(const toml::table& document);

// How `document` spells the server at `node`, for a message: "dotted keys",
// "an inline table" or "a table header", and the line of `text` that holds it.
std::string formOf(const toml::node& node, const toml::table& document, const TextLines& text);

// The server's tables in one text: each header of the server's table or of a
// table below it, with the lines after it up to the next table header.
struct ServerTables {
  TextLines text;
  TomlReading toml;
  LineFlags headers{};      // the header lines of the server's tables
  LineFlags block{};        // every line of the server's tables
  bool registered = false;  // the text holds the server, in some form
  std::string strayForm{};  // a spelling of the server outside its tables (formOf); empty: none
};

// The one reading of where the server is: toml++'s positions when toml++
// reads `text`; else every line that reads as a header of the server's table
// (split at LF, as Codex's own reader splits), its block ending at the next
// line that begins with "[". `text` must outlive the result.
ServerTables findServerTables(std::string_view text);

}  // namespace mivet::mcp
