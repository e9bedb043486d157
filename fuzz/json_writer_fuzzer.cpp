// Whatever the reader accepts, the writer writes in every style so that
// reading it back gives the same document.
#include "common/json_reader.h"
#include "common/json_writer.h"

#include <cstdlib>
#include <string>

namespace {

std::string canonical(simdjson::dom::object root) {
  std::string out;
  mivet::JsonWriter writer(out, mivet::sortedStyle);
  writer.element(root);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parser = mivet::newJsonParser();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto root = mivet::parseJsonObject(*parser, text);
  if (!root) return 0;
  std::string expected = canonical(*root);
  for (auto style : {mivet::compactStyle, mivet::sortedStyle, mivet::prettySortedStyle,
                     mivet::configFileStyle}) {
    std::string written;
    mivet::JsonWriter writer(written, style);
    writer.element(*root);
    if (writer.failed()) std::abort();
    auto again = mivet::newJsonParser();
    auto reread = mivet::parseJsonObject(*again, written);
    if (!reread || canonical(*reread) != expected) std::abort();
  }
  return 0;
}
