#include "mcp/registration/registration_status.h"

#include "common/json_writer.h"
#include "common/unicode_text.h"
#include "mcp/registration/codex_config.h"
#include "mcp/registration/json_config.h"
#include "mcp/registration/stable_command_path.h"

#include <cstdio>

namespace mivet::mcp {
namespace {

// True only when every file holds the registration; false for no files.
bool antigravityRegistered(const std::vector<std::string>& paths) {
  if (paths.empty()) return false;
  for (const std::string& path : paths) {
    if (!hasJSONMCP(path)) return false;
  }
  return true;
}

// A path as text, with bytes that are not UTF-8 shown as U+FFFD.
void writePath(JsonWriter& writer, const std::string& path) {
  writer.string(withReplacementCharacters(path, ReplacementUnit::byte));
}

void writeClient(JsonWriter& writer, std::string_view client, bool connected,
                 const std::string& path) {
  writer.key(client);
  writer.beginObject();
  writer.key("connected");
  writer.boolean(connected);
  writer.key("path");
  writePath(writer, path);
  writer.endObject();
}

}  // namespace

std::string registrationStatusJson(const std::string& home, const std::string& claudePath,
                                   const std::string& codexPath,
                                   const std::vector<std::string>& antigravityPaths) {
  bool codex = hasCodexMCP(codexPath);
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
  for (const std::string& path : antigravityPaths) writePath(writer, path);
  writer.endArray();
  writer.endObject();
  writeClient(writer, "claude", claude, claudePath);
  writeClient(writer, "codex", codex, codexPath);
  writer.key("command");
  writePath(writer, stableCommandPathFor(home));
  writer.endObject();
  return text;
}

void printRegistrationStatus(const std::string& home, const std::string& claudePath,
                             const std::string& codexPath,
                             const std::vector<std::string>& antigravityPaths) {
  std::string text = registrationStatusJson(home, claudePath, codexPath, antigravityPaths);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace mivet::mcp
