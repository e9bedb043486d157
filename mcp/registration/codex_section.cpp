#include "mcp/registration/codex_section.h"

#include "common/unicode_text.h"

#include <vector>

namespace mivet::mcp {
namespace {

constexpr std::string_view subTablePrefix = "[mcp_servers.mivet.";

std::vector<std::string_view> splitAtLineFeeds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

bool isHeader(std::string_view line) {
  return trimHorizontalWhitespace(line) == codexMivetHeader;
}

// Whether `line` belongs to a block that the header opened: anything up to the
// next table of another name. The server's own sub-tables go with it.
bool staysInBlock(std::string_view line) {
  std::string_view trimmed = trimHorizontalWhitespace(line);
  return trimmed == codexMivetHeader || !trimmed.starts_with('[') ||
         trimmed.starts_with(subTablePrefix);
}

std::vector<std::string_view> linesOutsideBlocks(const std::vector<std::string_view>& lines) {
  std::vector<std::string_view> kept;
  for (std::size_t at = 0; at < lines.size();) {
    if (!isHeader(lines[at])) {
      kept.push_back(lines[at++]);
      continue;
    }
    for (++at; at < lines.size() && staysInBlock(lines[at]); ++at) {
    }
    // The line that opens the next table is kept without being examined again.
    if (at < lines.size()) kept.push_back(lines[at++]);
  }
  return kept;
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
  std::vector<std::string_view> kept = linesOutsideBlocks(splitAtLineFeeds(text));
  while (!kept.empty() && trimHorizontalWhitespace(kept.back()).empty()) kept.pop_back();
  std::string joined;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += kept[i];
  }
  return joined;
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
    if (isHeader(line)) return true;
  }
  return false;
}

}  // namespace mivet::mcp
