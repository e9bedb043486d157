#include "mcp/registration/codex_section.h"

#include "common/unicode_text.h"
#include "mcp/registration/toml_header.h"

#include <vector>

namespace mivet::mcp {
namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> splitAtLineFeeds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// A line's text: without the carriage return of a CR LF line end, trimmed.
std::string_view lineText(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return trimHorizontalWhitespace(line);
}

// A header of the server's table, of one of its sub-tables or of an array
// of tables below it, in any spelling that names the key plainly.
bool isServerHeader(std::string_view line) {
  auto key = tableHeaderKey(lineText(line));
  return key && key->size() >= 2 && (*key)[0] == "mcp_servers" && (*key)[1] == "mivet";
}

bool opensTable(std::string_view line) {
  return lineText(line).starts_with('[');
}

// The lines outside every block that a server header opens; a block runs
// up to the next line that opens a table of another name.
std::vector<std::string_view> linesOutsideBlocks(const std::vector<std::string_view>& lines) {
  std::vector<std::string_view> kept;
  for (std::size_t at = 0; at < lines.size();) {
    if (!isServerHeader(lines[at])) {
      kept.push_back(lines[at++]);
      continue;
    }
    for (++at; at < lines.size() && !opensTable(lines[at]); ++at) {
    }
  }
  return kept;
}

std::string strippedWithoutByteOrderMark(std::string_view text) {
  std::vector<std::string_view> kept = linesOutsideBlocks(splitAtLineFeeds(text));
  while (!kept.empty() && lineText(kept.back()).empty()) kept.pop_back();
  std::string joined;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += kept[i];
  }
  return joined;
}

// A TOML basic string's content: backslashes and quotes escaped first, as
// the original format of this section did, then the control characters a
// basic string may not hold. A tab may stand as it is.
std::string escapedForTomlBasicString(std::string_view text) {
  static constexpr char hexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        escaped += "\\\\";
        continue;
      case '"':
        escaped += "\\\"";
        continue;
      case '\b':
        escaped += "\\b";
        continue;
      case '\n':
        escaped += "\\n";
        continue;
      case '\f':
        escaped += "\\f";
        continue;
      case '\r':
        escaped += "\\r";
        continue;
      default:
        break;
    }
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      escaped += "\\u00";
      escaped += hexDigits[byte >> 4];
      escaped += hexDigits[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string stripCodexMivetSection(std::string_view text) {
  if (!text.starts_with(byteOrderMark)) return strippedWithoutByteOrderMark(text);
  std::string rest = strippedWithoutByteOrderMark(text.substr(byteOrderMark.size()));
  return rest.empty() ? rest : std::string(byteOrderMark) + rest;
}

std::string codexMivetSection(std::string_view command) {
  std::string section(codexMivetHeader);
  section += "\ncommand = \"";
  section += escapedForTomlBasicString(command);
  section += "\"\nargs = []";
  return section;
}

bool containsCodexMivetHeader(std::string_view text) {
  for (std::string_view line : splitAtNewlines(text)) {
    if (trimHorizontalWhitespace(line) == codexMivetHeader) return true;
  }
  return false;
}

}  // namespace mivet::mcp
