#include "mcp/registration/codex_config.h"

#include "common/unicode_text.h"
#include "mcp/registration/codex_section.h"
#include "mcp/registration/config_file.h"
#include "mcp/registration/toml_check.h"

#include <optional>
#include <stdexcept>

namespace mivet::mcp {
namespace {

// The line edit cannot see every way of spelling the server's table (a
// comment after the header, CR LF line ends, spaces or quotes inside the
// brackets, an inline table), nor a header line that is really text inside a
// multi-line string. Appending a second definition would make Codex reject
// the whole file, and cutting lines out of a string would change a setting
// that is not the server's, so such an edit is refused instead.
void ensureOnlyTheServerTableChanges(const std::string& path, std::string_view before,
                                     std::string_view after, std::string_view action) {
  auto problem = codexEditProblem(before, after);
  if (!problem) return;
  throw std::runtime_error(
      path + " was left unchanged: " + std::string(action) + " would go wrong, as " + *problem +
      "; probably the file defines the mivet server in a form this command cannot edit (a "
      "comment after the [mcp_servers.mivet] header, CR LF line ends, an inline or quoted "
      "table) or holds that header line inside a multi-line string; edit it by hand");
}

std::optional<std::string> codexTextWithSection(const std::string& path, const ConfigFileRead& file,
                                                const std::string& command) {
  if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
  if (!isValidUtf8(file.content)) {
    throw std::runtime_error(path + " is not UTF-8 text; it was left unchanged");
  }
  std::string text = stripCodexMivetSection(file.content);
  if (!text.empty()) text += "\n\n";
  text += codexMivetSection(command);
  text += '\n';
  ensureOnlyTheServerTableChanges(path, file.content, text, "adding the mivet server");
  return text;
}

std::optional<std::string> codexTextWithoutSection(const std::string& path,
                                                   const ConfigFileRead& file) {
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) {
    return std::nullopt;
  }
  if (file.content.find(codexMivetHeader) == std::string::npos) return std::nullopt;
  std::string text = stripCodexMivetSection(file.content);
  if (!text.empty()) text += '\n';
  ensureOnlyTheServerTableChanges(path, file.content, text, "removing the mivet server");
  return text;
}

}  // namespace

void upsertCodexMCP(const std::string& path, const std::string& command) {
  createParentDirectories(path);
  editConfigFile(
      path, [&](const ConfigFileRead& file) { return codexTextWithSection(path, file, command); });
}

void removeCodexMCP(const std::string& path) {
  editConfigFile(path,
                 [&](const ConfigFileRead& file) { return codexTextWithoutSection(path, file); });
}

}  // namespace mivet::mcp
