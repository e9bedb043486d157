// Whatever the reader accepts, the writer writes in every style so that
// reading it back gives the same values. The values of the two readings are
// compared one by one, not through the writer.
#include "common/json_reader.h"
#include "common/json_writer.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

bool sameValue(element a, element b, bool sorted);

using Members = std::vector<std::pair<std::string_view, element>>;

Members members(simdjson::dom::object object, bool sorted) {
  Members list;
  for (auto field : object) list.emplace_back(field.key, field.value);
  if (sorted) {
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
  }
  return list;
}

bool sameObject(simdjson::dom::object a, simdjson::dom::object b, bool sorted) {
  const Members first = members(a, sorted), second = members(b, false);
  return std::equal(first.begin(), first.end(), second.begin(), second.end(),
                    [&](const auto& x, const auto& y) {
                      return x.first == y.first && sameValue(x.second, y.second, sorted);
                    });
}

bool sameArray(simdjson::dom::array a, simdjson::dom::array b, bool sorted) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](element x, element y) { return sameValue(x, y, sorted); });
}

bool isNumber(element_type type) {
  return type == element_type::INT64 || type == element_type::UINT64 ||
         type == element_type::DOUBLE;
}

// The writer may write a double as an integer ("1" for 1.0): compared as
// doubles, bit for bit, so that -0.0 and 0 differ.
bool sameNumber(element a, element b) {
  if (a.type() != element_type::DOUBLE && b.type() != element_type::DOUBLE) {
    return a.type() == b.type() &&
           (a.type() == element_type::INT64 ? a.get_int64().value() == b.get_int64().value()
                                            : a.get_uint64().value() == b.get_uint64().value());
  }
  return std::bit_cast<std::uint64_t>(a.get_double().value()) ==
         std::bit_cast<std::uint64_t>(b.get_double().value());
}

bool sameValue(element a, element b, bool sorted) {
  if (isNumber(a.type()) && isNumber(b.type())) return sameNumber(a, b);
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case element_type::OBJECT:
      return sameObject(a.get_object().value(), b.get_object().value(), sorted);
    case element_type::ARRAY:
      return sameArray(a.get_array().value(), b.get_array().value(), sorted);
    case element_type::STRING:  // raw numbers included: the same bytes
      return a.get_string().value() == b.get_string().value();
    case element_type::BOOL:
      return a.get_bool().value() == b.get_bool().value();
    default:
      return true;  // null
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parser = mivet::newJsonParser();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto root = mivet::parseJsonObject(*parser, text);
  if (!root) return 0;
  for (auto style : {mivet::compactStyle, mivet::sortedStyle, mivet::prettySortedStyle,
                     mivet::configFileStyle}) {
    std::string written;
    mivet::JsonWriter writer(written, style);
    writer.element(*root);
    if (writer.failed()) std::abort();
    auto again = mivet::newJsonParser();
    auto reread = mivet::parseJsonObject(*again, written);
    if (!reread || !sameObject(*root, *reread, style.sortKeys)) std::abort();
  }
  return 0;
}
