#include "mcp/registration/codex_config.h"

#include "common/unicode_text.h"
#include "mcp/registration/codex_edit.h"
#include "mcp/registration/config_file.h"

#include <optional>
#include <stdexcept>

namespace mivet::mcp {
namespace {

std::optional<std::string> codexTextWithServer(const std::string& path, const ConfigFileRead& file,
                                               const std::string& command) {
  if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
  if (!isValidUtf8(file.content)) {
    throw std::runtime_error(path + " is not UTF-8 text; it was left unchanged");
  }
  return codexConfigWithServer(file.content, command, path);
}

std::optional<std::string> codexTextWithoutServer(const std::string& path,
                                                  const ConfigFileRead& file) {
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) {
    return std::nullopt;
  }
  std::string text = codexConfigWithoutServer(file.content, path);
  if (text == file.content) return std::nullopt;
  return text;
}

}  // namespace

void upsertCodexMCP(const std::string& path, const std::string& command) {
  createParentDirectories(path);
  editConfigFile(
      path, [&](const ConfigFileRead& file) { return codexTextWithServer(path, file, command); });
}

void removeCodexMCP(const std::string& path) {
  editConfigFile(path,
                 [&](const ConfigFileRead& file) { return codexTextWithoutServer(path, file); });
}

}  // namespace mivet::mcp
