#include "mcp/server/tool_call.h"

#include "common/json_reader.h"
#include "common/json_writer.h"

namespace mivet::mcp {
namespace {

constexpr std::string_view lastResortText = R"({"ok":false,"error":"unknown_error"})";

std::optional<std::string> sortedResultText(const IPCResult& answer) {
  if (!answer.ok || !answer.result) return std::nullopt;
  if (!answer.result->is_object() && !answer.result->is_array()) return std::nullopt;
  std::string text;
  JsonWriter writer(text, sortedStyle);
  writer.element(*answer.result);
  if (writer.failed()) return std::nullopt;
  return text;
}

std::optional<std::string> failureText(const IPCResult& answer) {
  std::string text;
  JsonWriter writer(text, sortedStyle);
  writer.beginObject();
  writer.key("error");
  writer.string(answer.error ? *answer.error : "unknown_error");
  writer.key("ok");
  writer.boolean(false);
  writer.endObject();
  if (writer.failed()) return std::nullopt;
  return text;
}

}  // namespace

std::string toolResultText(const IPCResult& answer) {
  if (auto text = sortedResultText(answer)) return *text;
  if (auto text = failureText(answer)) return *text;
  return std::string(lastResortText);
}

std::string callTool(simdjson::dom::object params, const AppRequestSender& send) {
  std::string_view name = stringMember(params, "name").value_or("");
  simdjson::dom::object arguments = objectMember(params, "arguments").value_or(emptyJsonObject());
  IPCResult answer = send(name, arguments);

  std::string result;
  JsonWriter writer(result);
  writer.beginObject();
  writer.key("content");
  writer.beginArray();
  writer.beginObject();
  writer.key("type");
  writer.string("text");
  writer.key("text");
  writer.string(toolResultText(answer));
  writer.endObject();
  writer.endArray();
  writer.key("isError");
  writer.boolean(!answer.ok);
  writer.endObject();
  return result;
}

}  // namespace mivet::mcp
