#include "MivetBrowserBridge/message_text.h"

#include "MivetBrowserBridge/compact_copy.h"
#include "MivetBrowserBridge/message_table.h"
#include "common/json_reader.h"
#include "common/unicode_text.h"

namespace mivet::bridge {
namespace {

// The members of the message object that decide its request.
struct MessageMembers {
  bool typeSeen = false;
  std::optional<std::string_view> type;  // nullopt when it is not a string
  bool payloadSeen = false;
  bool payloadCopied = false;  // an object, now in the params
};

// The content of the string at `text[at]` when it holds no escape, and the
// offset past it; nullopt for a string with escapes, control characters or no end.
std::optional<std::pair<std::string_view, std::size_t>> plainString(std::string_view text,
                                                                    std::size_t at) {
  if (at >= text.size() || text[at] != '"') return std::nullopt;
  for (std::size_t end = at + 1; end < text.size(); ++end) {
    const auto c = static_cast<unsigned char>(text[end]);
    if (c == '"') return std::pair(text.substr(at + 1, end - at - 1), end + 1);
    if (c == '\\' || c < 0x20) return std::nullopt;
  }
  return std::nullopt;
}

// Walks the value of member `name` at `at`, noting "type" and copying the
// first "payload" object into `params`. The offset past it, or nullopt.
std::optional<std::size_t> memberValue(std::string_view body, std::size_t at, std::string_view name,
                                       MessageMembers& members, std::string& params) {
  const std::size_t levels = maxJsonDepth - 1;  // the message object is one
  if (name == "type" && !members.typeSeen) {
    members.typeSeen = true;
    if (body[at] == '"') {
      auto type = plainString(body, at);
      if (!type) return std::nullopt;
      members.type = type->first;
      return type->second;
    }
  } else if (name == "payload" && !members.payloadSeen) {
    members.payloadSeen = true;
    if (body[at] == '{') {
      members.payloadCopied = true;
      return appendCompactValue(params, body, at, levels);
    }
  }
  return skipValidValue(body, at, levels);
}

// Walks the members of the message object whose '{' is at `at`; the offset
// past its '}', or nullopt.
std::optional<std::size_t> walkMembers(std::string_view body, std::size_t at,
                                       MessageMembers& members, std::string& params) {
  at = skipJsonSpace(body, at + 1);
  if (at < body.size() && body[at] == '}') return at + 1;
  for (;;) {
    auto name = plainString(body, at);
    if (!name) return std::nullopt;
    at = skipJsonSpace(body, name->second);
    if (at >= body.size() || body[at] != ':') return std::nullopt;
    at = skipJsonSpace(body, at + 1);
    if (at >= body.size()) return std::nullopt;
    auto end = memberValue(body, at, name->first, members, params);
    if (!end) return std::nullopt;
    at = skipJsonSpace(body, *end);
    if (at >= body.size()) return std::nullopt;
    if (body[at] == '}') return at + 1;
    if (body[at] != ',') return std::nullopt;
    at = skipJsonSpace(body, at + 1);
  }
}

}  // namespace

std::optional<std::string_view> requestFromText(std::string_view body, std::string& params) {
  params.clear();
  const std::size_t start = skipJsonSpace(body, 0);
  if (start >= body.size() || body[start] != '{' || !isValidUtf8(body)) return std::nullopt;
  MessageMembers members;
  auto end = walkMembers(body, start, members, params);
  if (!end || skipJsonSpace(body, *end) != body.size()) return std::nullopt;
  std::string_view method = methodForType(members.type);
  if (!methodCarriesPayload(method) || !members.payloadCopied) params = "{}";
  return method;
}

}  // namespace mivet::bridge
