#include "MivetBrowserBridge/request_line.h"

#include "MivetBrowserBridge/compact_copy.h"
#include "common/json_writer.h"
#include "common/uuid.h"

namespace mivet::bridge {
namespace {

// The params as JsonWriter writes them, straight after the text already in `line`.
bool writeParams(std::string& line, simdjson::dom::object params, std::string_view paramsText) {
  if (!paramsText.empty() && appendCompactCopy(line, paramsText)) return true;
  JsonWriter writer(line);
  writer.element(params);
  return !writer.failed();
}

}  // namespace

bool buildRequestLine(std::string& line, std::string_view method, simdjson::dom::object params,
                      std::string_view paramsText) {
  // The members in the order and form JsonWriter would give them.
  line.assign(R"({"id":")");
  line += newPooledUpperCaseUUID();
  line += R"(","method":)";
  line += jsonQuoted(method);
  line += R"(,"params":)";
  if (!writeParams(line, params, paramsText)) return false;
  line += "}\n";
  return true;
}

}  // namespace mivet::bridge
