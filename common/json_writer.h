#pragma once

#include <simdjson.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mivet {

struct JsonStyle {
  // Indented, one member or element per line.
  bool pretty = false;
  // Members of parsed objects written in ascending code-point order of their
  // keys, at every depth. Members written through key() keep the order in
  // which the caller gives them.
  bool sortKeys = false;
  // "/" written as "\/" inside strings. Off only for the assistants'
  // configuration files.
  bool escapeSlashes = true;
};

inline constexpr JsonStyle compactStyle{};
inline constexpr JsonStyle sortedStyle{.sortKeys = true};
inline constexpr JsonStyle prettySortedStyle{.pretty = true, .sortKeys = true};
inline constexpr JsonStyle configFileStyle{
    .pretty = true, .sortKeys = true, .escapeSlashes = false};

// Streams JSON text into a string. Strings must be valid UTF-8, where a lone
// surrogate in its 3-byte form is allowed and written as a \u escape: any
// other string is not written and marks the writer as failed, and a failed
// writer's output must be thrown away.
class JsonWriter {
 public:
  explicit JsonWriter(std::string& out, JsonStyle style = compactStyle);

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  void key(std::string_view name);
  void string(std::string_view value);
  void number(std::int64_t value);
  void number(std::uint64_t value);
  void number(double value);
  void boolean(bool value);
  void null();
  // A parsed value, written in this writer's style.
  void element(simdjson::dom::element value);
  void element(simdjson::dom::object value);
  void element(simdjson::dom::array value);
  // A value that is already JSON text in this writer's style, copied as it is.
  void raw(std::string_view json);

  bool failed() const { return failed_; }

 private:
  void beforeValue();
  void open(char bracket);
  void close(char bracket);
  void newline();
  void escaped(std::string_view text);
  void escapedValidUtf8(std::string_view text);
  char* escapeInto(char* out, std::string_view text) const;
  std::size_t escapeAt(char*& out, std::string_view text, std::size_t at) const;
  void member(std::string_view name, simdjson::dom::element value);

  std::string& out_;
  JsonStyle style_;
  // One character per open array or object: whether it holds a value yet.
  // A string, so that shallow documents need no allocation.
  std::string levels_;
  // Members of the objects being written in sorted order, innermost last.
  std::vector<std::pair<std::string_view, simdjson::dom::element>> sortScratch_;
  bool afterKey_ = false;
  bool failed_ = false;
};

// `value` as a JSON string literal with its quotes, escaped as `style` says.
std::string jsonQuoted(std::string_view value, JsonStyle style = compactStyle);

}  // namespace mivet
