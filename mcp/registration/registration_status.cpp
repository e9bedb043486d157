#include "mcp/registration/registration_status.h"

#include "common/json_writer.h"
#include "common/unicode_text.h"
#include "mcp/registration/codex_section.h"
#include "mcp/registration/config_file.h"
#include "mcp/registration/json_config.h"
#include "mcp/registration/stable_command_path.h"

#include <cstdio>

namespace mivet::mcp {
namespace {

bool codexRegistered(const std::string& codexPath) {
  ConfigFileRead file = readConfigFile(codexPath);
  if (file.outcome != ConfigFileRead::Outcome::read || !isValidUtf8(file.content)) return false;
  return containsCodexMivetHeader(file.content);
}

// True only when every file holds the registration; false for no files.
bool antigravityRegistered(const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  for (const std::string& path : paths) {
    if (!hasJSONMCP(path)) return false;
  }
  return true;
}

void writeClient(JsonWriter& writer, std::string_view client, bool connected,
                 const std::string& path) {
  writer.key(client);
  writer.beginObject();
  writer.key("connected");
  writer.boolean(connected);
  writer.key("path");
  writer.string(path);
  writer.endObject();
}

}  // namespace

std::optional<std::string> registrationStatusJson(
    const std::string& home, const std::string& claudePath, const std::string& codexPath,
    const std::vector<std::string>& antigravityPaths) {
  bool codex = codexRegistered(codexPath);
  bool claude = hasJSONMCP(claudePath);
  bool antigravity = antigravityRegistered(antigravityPaths);

  std::string text;
  JsonWriter writer(text, prettySortedStyle);
  writer.beginObject();
  writer.key("antigravity");
  writer.beginObject();
  writer.key("connected");
  writer.boolean(antigravity);
  writer.key("paths");
  writer.beginArray();
  for (const std::string& path : antigravityPaths) writer.string(path);
  writer.endArray();
  writer.endObject();
  writeClient(writer, "claude", claude, claudePath);
  writeClient(writer, "codex", codex, codexPath);
  writer.key("command");
  writer.string(stableCommandPathFor(home));
  writer.endObject();
  if (writer.failed()) return std::nullopt;
  return text;
}

void printRegistrationStatus(const std::string& home, const std::string& claudePath,
                             const std::string& codexPath,
                             const std::vector<std::string>& antigravityPaths) {
  auto text = registrationStatusJson(home, claudePath, codexPath, antigravityPaths);
  if (!text) return;
  std::fwrite(text->data(), 1, text->size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace mivet::mcp
