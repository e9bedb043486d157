#include "MivetBrowserBridge/request_line.h"

#include "common/json_writer.h"
#include "common/uuid.h"

namespace mivet::bridge {

bool buildRequestLine(std::string& line, std::string_view method, simdjson::dom::object params) {
  line.clear();
  JsonWriter writer(line);
  writer.beginObject();
  writer.key("id");
  writer.string(newUpperCaseUUID());
  writer.key("method");
  writer.string(method);
  writer.key("params");
  writer.element(params);
  writer.endObject();
  if (writer.failed()) return false;
  line += '\n';
  return true;
}

}  // namespace mivet::bridge
