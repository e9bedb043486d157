#include "mcp/registration/codex_config.h"

#include "common/atomic_file.h"
#include "common/unicode_text.h"
#include "mcp/registration/codex_section.h"
#include "mcp/registration/config_file.h"
#include "mcp/registration/toml_check.h"

#include <stdexcept>

namespace mivet::mcp {
namespace {

// The line edit cannot see every way of spelling the server's table (a
// comment after the header, CR LF line ends, spaces or quotes inside the
// brackets, an inline table); a second definition of the same table would
// make Codex reject the whole file, so such an edit is refused instead.
void ensureStaysValidToml(const std::string& path, std::string_view before, std::string_view after,
                          std::string_view action) {
  if (tomlSyntaxProblem(before)) return;
  auto problem = tomlSyntaxProblem(after);
  if (!problem) return;
  throw std::runtime_error(
      path + " was left unchanged: " + std::string(action) + " would make it invalid TOML (" +
      *problem +
      "), probably because it defines the mivet server in a form this command cannot edit "
      "(a comment after the [mcp_servers.mivet] header, CR LF line ends, an inline or quoted "
      "table); edit that table by hand");
}

}  // namespace

void upsertCodexMCP(const std::string& path, const std::string& command) {
  createParentDirectories(path);
  ConfigFileRead file = readConfigFile(path);
  if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
  if (!isValidUtf8(file.content)) {
    throw std::runtime_error(path + " is not UTF-8 text; it was left unchanged");
  }
  std::string text = stripCodexMivetSection(file.content);
  if (!text.empty()) text += "\n\n";
  text += codexMivetSection(command);
  text += '\n';
  ensureStaysValidToml(path, file.content, text, "adding the mivet server");
  replaceFileAtomically(path, text);
}

void removeCodexMCP(const std::string& path) {
  ConfigFileRead file = readConfigFile(path);
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) return;
  if (file.content.find(codexMivetHeader) == std::string::npos) return;
  std::string text = stripCodexMivetSection(file.content);
  if (!text.empty()) text += '\n';
  ensureStaysValidToml(path, file.content, text, "removing the mivet server");
  replaceFileAtomically(path, text);
}

}  // namespace mivet::mcp
