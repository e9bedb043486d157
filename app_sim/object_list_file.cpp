#include "app_sim/object_list_file.h"

#include "common/file_io.h"
#include "common/json_reader.h"

#include <stdexcept>

namespace mivet::sim {

void forEachListedObject(const std::string& path, const ObjectListFile& kind,
                         const std::function<void(simdjson::dom::object)>& each) {
  const std::string file = "the " + std::string(kind.name) + " " + path;
  auto content = readWholeFile(path);
  if (!content) throw std::runtime_error("cannot read " + file);
  auto document = parseJsonDocument(*content);
  simdjson::dom::array items;
  if (!document || document->root.at_key(kind.key).get_array().get(items) != simdjson::SUCCESS) {
    throw std::runtime_error(file + " holds no \"" + std::string(kind.key) + "\" array");
  }
  for (simdjson::dom::element item : items) {
    simdjson::dom::object object;
    if (item.get_object().get(object) != simdjson::SUCCESS) {
      throw std::runtime_error(file + " holds " + std::string(kind.item) +
                               " that is not an object");
    }
    each(object);
  }
}

}  // namespace mivet::sim
