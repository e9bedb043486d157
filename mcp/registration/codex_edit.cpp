#include "mcp/registration/codex_edit.h"

#include "mcp/registration/codex_section.h"
#include "mcp/registration/toml_check.h"

#include <optional>
#include <stdexcept>

namespace mivet::mcp {
namespace {

// `text` without the server's blocks, ending in one line end unless empty,
// checked: what is left must not define the server, and when `text` is valid
// TOML, every other value must stay as it was.
std::string withoutServerBlocks(std::string_view text, const std::string& path) {
  std::string rest = stripCodexMivetSection(text);
  if (!rest.empty()) rest += '\n';
  if (auto form = codexServerDefinition(rest)) {
    throw std::runtime_error(path + " was left unchanged: it defines the mivet server with " +
                             *form +
                             ", a form this command cannot take out or replace; edit it by hand");
  }
  // A header line inside a multi-line string is text, not a table: the line
  // edit would cut into that string.
  if (auto problem = codexEditProblem(text, rest)) {
    throw std::runtime_error(
        path + " was left unchanged: editing the mivet server would go wrong, as " + *problem +
        "; probably a table header line stands inside a multi-line string; "
        "edit it by hand");
  }
  return rest;
}

}  // namespace

std::string codexConfigWithServer(std::string_view text, std::string_view command,
                                  const std::string& path) {
  if (auto problem = tomlSyntaxProblem(text)) {
    throw std::runtime_error(path + " was left unchanged: it is not valid TOML (" + *problem +
                             "), so Codex could not read the server from it; correct it first");
  }
  std::string edited = withoutServerBlocks(text, path);
  if (!edited.empty()) edited += '\n';
  edited += codexMivetSection(command);
  edited += '\n';
  if (auto problem = codexServerTableProblem(edited, command)) {
    throw std::runtime_error(path + " was left unchanged: after adding the mivet server, " +
                             *problem);
  }
  return edited;
}

std::string codexConfigWithoutServer(std::string_view text, const std::string& path) {
  // Valid TOML without the server, or other text without its header line,
  // holds nothing to take out.
  std::optional<bool> defined = codexServerDefined(text);
  if (defined == false || (!defined && text.find(codexMivetHeader) == std::string_view::npos)) {
    return std::string(text);
  }
  return withoutServerBlocks(text, path);
}

}  // namespace mivet::mcp
