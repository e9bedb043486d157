#include "MivetBrowserBridge/request_line.h"

#include "common/json_writer.h"
#include "common/uuid.h"

namespace mivet::bridge {

bool appendParams(std::string& out, simdjson::dom::object params) {
  JsonWriter writer(out);
  writer.element(params);
  return !writer.failed();
}

void wrapParamsInRequestLine(std::string& line, std::string_view method) {
  std::string head = R"({"id":")";
  head += newUpperCaseUUID();
  head += R"(","method":)";
  head += jsonQuoted(method);
  head += R"(,"params":)";
  line.insert(0, head);
  line += "}\n";
}

}  // namespace mivet::bridge
