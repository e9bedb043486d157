#include "mcp/registration/toml_header.h"

namespace mivet::mcp {
namespace {

// Reads a header line from left to right; every step leaves `rest` just
// past what it consumed.
class HeaderReader {
 public:
  explicit HeaderReader(std::string_view line) : rest_(line) {}

  bool consume(std::string_view token) {
    if (!rest_.starts_with(token)) return false;
    rest_.remove_prefix(token.size());
    return true;
  }

  void skipBlanks() {
    while (!rest_.empty() && (rest_.front() == ' ' || rest_.front() == '\t'))
      rest_.remove_prefix(1);
  }

  // One bare or quoted key; nullopt when there is none here.
  std::optional<std::string> simpleKey() {
    if (consume("\"")) return quotedUntil('"');
    if (consume("'")) return quotedUntil('\'');
    std::size_t length = 0;
    while (length < rest_.size() && isBareKeyCharacter(rest_[length])) ++length;
    if (length == 0) return std::nullopt;
    std::string key(rest_.substr(0, length));
    rest_.remove_prefix(length);
    return key;
  }

  // Nothing, or only a comment, left.
  bool atEnd() const { return rest_.empty() || rest_.front() == '#'; }

 private:
  static bool isBareKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  }

  std::optional<std::string> quotedUntil(char quote) {
    std::size_t end = rest_.find(quote);
    if (end == std::string_view::npos) return std::nullopt;
    std::string key(rest_.substr(0, end));
    if (quote == '"' && key.find('\\') != std::string::npos) return std::nullopt;
    rest_.remove_prefix(end + 1);
    return key;
  }

  std::string_view rest_;
};

}  // namespace

std::optional<std::vector<std::string>> tableHeaderKey(std::string_view line) {
  HeaderReader reader(line);
  bool arrayOfTables = reader.consume("[[");
  if (!arrayOfTables && !reader.consume("[")) return std::nullopt;
  std::vector<std::string> key;
  do {
    reader.skipBlanks();
    auto part = reader.simpleKey();
    if (!part) return std::nullopt;
    key.push_back(std::move(*part));
    reader.skipBlanks();
  } while (reader.consume("."));
  if (!reader.consume(arrayOfTables ? "]]" : "]")) return std::nullopt;
  reader.skipBlanks();
  if (!reader.atEnd()) return std::nullopt;
  return key;
}

}  // namespace mivet::mcp
