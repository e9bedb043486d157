#include "MivetBrowserBridge/error_replies.h"

#include "common/json_reader.h"
#include "common/json_writer.h"

#include <map>
#include <string>

namespace mivet::bridge {

simdjson::dom::object errorReply(std::string_view code) {
  // Each code is parsed once; the parsed object is handed out from then on.
  static std::map<std::string, JsonDocument, std::less<>> replies;
  auto found = replies.find(code);
  if (found == replies.end()) {
    std::string text = "{\"ok\":false,\"error\":" + jsonQuoted(code) + "}";
    found = replies.emplace(std::string(code), *parseJsonDocument(text)).first;
  }
  return found->second.root;
}

}  // namespace mivet::bridge
