#include "mcp/registration/json_config.h"

#include "common/json_reader.h"
#include "common/json_writer.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace mivet::mcp {
namespace {

using Member = std::pair<std::string_view, simdjson::dom::element>;
using ValueWriter = std::function<void(JsonWriter&)>;

constexpr std::string_view serversKey = "mcpServers";
constexpr std::string_view entryKey = "mivet";

// Members sorted by key; of repeated keys only the last is kept, the one
// that JSON readers (the assistants among them) take.
std::vector<Member> sortedMembers(simdjson::dom::object object) {
  std::vector<Member> members;
  members.reserve(object.size());
  for (auto field : object) members.emplace_back(field.key, field.value);
  std::stable_sort(members.begin(), members.end(),
                   [](const Member& a, const Member& b) { return a.first < b.first; });
  std::vector<Member> unique;
  unique.reserve(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i + 1 < members.size() && members[i + 1].first == members[i].first) continue;
    unique.push_back(members[i]);
  }
  return unique;
}

std::optional<simdjson::dom::element> lastMember(simdjson::dom::object object,
                                                 std::string_view key) {
  std::optional<simdjson::dom::element> found;
  for (auto field : object) {
    if (field.key == key) found = field.value;
  }
  return found;
}

std::optional<simdjson::dom::object> serversObject(simdjson::dom::object root) {
  auto servers = lastMember(root, serversKey);
  simdjson::dom::object object;
  if (!servers || servers->get_object().get(object) != simdjson::SUCCESS) return std::nullopt;
  return object;
}

// Writes `object` with its keys sorted, where the member `key` gets the value
// `writeValue` writes, or is left out when `writeValue` is empty.
void writeObjectReplacing(JsonWriter& writer, simdjson::dom::object object, std::string_view key,
                          const ValueWriter& writeValue) {
  writer.beginObject();
  bool replacementWritten = !writeValue;
  auto writeReplacement = [&] {
    writer.key(key);
    writeValue(writer);
    replacementWritten = true;
  };
  for (const auto& [name, value] : sortedMembers(object)) {
    if (name == key) continue;
    if (!replacementWritten && key < name) writeReplacement();
    writer.key(name);
    writer.element(value);
  }
  if (!replacementWritten) writeReplacement();
  writer.endObject();
}

void writeServerEntry(JsonWriter& writer, const std::string& command) {
  writer.beginObject();
  writer.key("args");
  writer.beginArray();
  writer.endArray();
  writer.key("command");
  writer.string(command);
  writer.endObject();
}

// `root` with "mcpServers" replaced by `servers` (whose "mivet" member
// `writeEntry` writes or, when empty, leaves out), as the file's new content.
std::string configText(const std::string& path, simdjson::dom::object root,
                       simdjson::dom::object servers, const ValueWriter& writeEntry,
                       std::size_t sizeHint) {
  std::string text;
  text.reserve(sizeHint + sizeHint / 4 + 256);  // pretty-printing adds indentation
  JsonWriter writer(text, configFileStyle);
  writeObjectReplacing(writer, root, serversKey, [&](JsonWriter& inner) {
    writeObjectReplacing(inner, servers, entryKey, writeEntry);
  });
  if (writer.failed()) {
    throw std::runtime_error("cannot write " + path + ": the command is not valid UTF-8");
  }
  text += '\n';
  return text;
}

// A parsed configuration file and its size in bytes.
struct ConfigDocument {
  JsonDocument json;
  std::size_t bytes;
};

// The top-level object of `content`; nullopt when it is not a JSON object.
// Read with the project's one JSON reader, as the server reads requests.
std::optional<ConfigDocument> parseConfigObject(const std::string& content) {
  auto document = parseJsonDocument(content);
  if (!document) return std::nullopt;
  return ConfigDocument{std::move(*document), content.size()};
}

// The file's top-level object; nullopt when the file is missing or empty.
// Throws when it exists but cannot be read or is not a JSON object, so that
// a file the user or the assistant is in the middle of writing is not lost.
std::optional<ConfigDocument> existingConfigForUpsert(const std::string& path,
                                                      const ConfigFileRead& file) {
  if (file.outcome == ConfigFileRead::Outcome::unreadable) throw std::runtime_error(file.problem);
  if (file.outcome == ConfigFileRead::Outcome::missing || file.content.empty()) return std::nullopt;
  auto document = parseConfigObject(file.content);
  if (!document) {
    throw std::runtime_error(path +
                             " cannot be edited (it does not hold a JSON object: not valid JSON, "
                             "or another kind of value at the top); it was left unchanged");
  }
  return document;
}

// The file's top-level object when it is readable, non-empty JSON with an
// object at the top; nullopt otherwise.
std::optional<ConfigDocument> readableConfig(const ConfigFileRead& file) {
  if (file.outcome != ConfigFileRead::Outcome::read || file.content.empty()) return std::nullopt;
  return parseConfigObject(file.content);
}

std::optional<std::string> configWithEntry(const std::string& path, const ConfigFileRead& file,
                                           const std::string& command) {
  auto document = existingConfigForUpsert(path, file);
  simdjson::dom::object root = document ? document->json.root : emptyJsonObject();
  simdjson::dom::object servers = serversObject(root).value_or(emptyJsonObject());
  return configText(
      path, root, servers, [&](JsonWriter& writer) { writeServerEntry(writer, command); },
      document ? document->bytes : 0);
}

std::optional<std::string> configWithoutEntry(const std::string& path, const ConfigFileRead& file) {
  auto document = readableConfig(file);
  if (!document) return std::nullopt;
  auto servers = serversObject(document->json.root);
  if (!servers || !lastMember(*servers, entryKey)) return std::nullopt;
  return configText(path, document->json.root, *servers, nullptr, document->bytes);
}

}  // namespace

void upsertJSONMCP(const std::string& path, const std::string& command,
                   const SharedFileOptions& sharing) {
  createParentDirectories(path);
  editConfigFile(
      path, [&](const ConfigFileRead& file) { return configWithEntry(path, file, command); },
      sharing);
}

void removeJSONMCP(const std::string& path, const SharedFileOptions& sharing) {
  editConfigFile(
      path, [&](const ConfigFileRead& file) { return configWithoutEntry(path, file); }, sharing);
}

bool hasJSONMCP(const std::string& path) {
  auto document = readableConfig(readConfigFile(path));
  if (!document) return false;
  auto servers = serversObject(document->json.root);
  return servers && lastMember(*servers, entryKey).has_value();
}

}  // namespace mivet::mcp
