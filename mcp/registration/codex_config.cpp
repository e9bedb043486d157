#include "mcp/registration/codex_config.h"

#include "common/atomic_file.h"
#include "common/unicode_text.h"
#include "mcp/registration/codex_edit.h"
#include "mcp/registration/config_file.h"

#include <stdexcept>

namespace mivet::mcp {

void upsertCodexMCP(const std::string& path, const std::string& command) {
  createParentDirectories(path);
  ConfigFileRead file = readConfigFile(path);
  if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
  if (!isValidUtf8(file.content)) {
    throw std::runtime_error(path + " is not UTF-8 text; it was left unchanged");
  }
  replaceFileAtomically(path, codexConfigWithServer(file.content, command, path));
}

void removeCodexMCP(const std::string& path) {
  ConfigFileRead file = readConfigFile(path);
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) return;
  std::string text = codexConfigWithoutServer(file.content, path);
  if (text != file.content) replaceFileAtomically(path, text);
}

}  // namespace mivet::mcp
