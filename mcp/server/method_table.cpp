#include "mcp/server/method_table.h"

#include "common/json_reader.h"
#include "common/json_writer.h"
#include "mcp/server/tool_catalogue.h"

#include <algorithm>

namespace mivet::mcp {
namespace {

std::string initializeResult(simdjson::dom::object params) {
  std::string result;
  JsonWriter writer(result);
  writer.beginObject();
  writer.key("protocolVersion");
  writer.string(negotiatedProtocolVersion(params));
  writer.key("capabilities");
  writer.raw(R"({"tools":{"listChanged":false}})");
  writer.key("serverInfo");
  writer.raw(R"({"name":"mivet","version":"1.0.0"})");
  writer.key("instructions");
  writer.string(serverInstructions);
  writer.endObject();
  return result;
}

const std::string& toolsListResult() {
  static const std::string result = R"({"tools":)" + toolDefinitions() + "}";
  return result;
}

MethodOutcome success(std::string result) {
  return {std::move(result), std::nullopt};
}

}  // namespace

std::string_view negotiatedProtocolVersion(simdjson::dom::object params) {
  auto asked = stringMember(params, "protocolVersion");
  if (asked &&
      std::ranges::find(supportedProtocolVersions, *asked) != std::end(supportedProtocolVersions)) {
    return *asked;
  }
  return fallbackProtocolVersion;
}

MethodOutcome handleRequest(std::string_view method, simdjson::dom::object params,
                            const AppRequestSender& send) {
  if (method == "initialize") return success(initializeResult(params));
  if (method == "ping") return success("{}");
  if (method == "tools/list") return success(toolsListResult());
  if (method == "resources/list") return success(R"({"resources":[]})");
  if (method == "prompts/list") return success(R"({"prompts":[]})");
  if (method == "tools/call") return success(callTool(params, send));
  return {"", "Method not found: " + std::string(method)};
}

}  // namespace mivet::mcp
