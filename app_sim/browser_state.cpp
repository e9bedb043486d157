#include "app_sim/browser_state.h"

#include "app_sim/bad_request.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "common/unicode_text.h"

#include <cctype>

namespace mivet::sim {
namespace {

std::string lowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string compactJson(simdjson::dom::object payload) {
  std::string json;
  JsonWriter writer(json);
  writer.element(payload);
  return json;
}

std::optional<std::vector<std::string>> namesIn(simdjson::dom::element value) {
  std::vector<std::string> names;
  simdjson::dom::array array;
  simdjson::dom::object object;
  if (value.get_array().get(array) == simdjson::SUCCESS) {
    for (simdjson::dom::element item : array) {
      if (auto name = jsonString(item)) names.emplace_back(*name);
    }
    return names;
  }
  if (value.get_object().get(object) == simdjson::SUCCESS) {
    for (auto field : object) {
      bool enabled = false;
      if (field.value.get_bool().get(enabled) == simdjson::SUCCESS && enabled) {
        names.emplace_back(field.key);
      }
    }
    return names;
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> enabledSourcesIn(simdjson::dom::object payload) {
  for (std::string_view key : {"enabledSources", "sources"}) {
    simdjson::dom::element value;
    if (payload.at_key(key).get(value) != simdjson::SUCCESS) continue;
    if (auto names = namesIn(value)) return names;
  }
  return std::nullopt;
}

}  // namespace

void recordHeartbeat(BrowserState& state, simdjson::dom::object payload, Instant now) {
  state.lastHeartbeat = ReceivedPayload{compactJson(payload), now};
  if (auto sources = enabledSourcesIn(payload)) state.enabledSources = std::move(*sources);
}

std::string recordDigest(BrowserState& state, simdjson::dom::object payload, Instant now) {
  auto source = stringMember(payload, "source");
  std::string name = lowerCase(trimWhitespaceAndNewlines(source.value_or("")));
  if (name.empty()) throw BadRequest("a digest needs a \"source\" string, such as \"gmail\"");
  state.digests[name] = ReceivedPayload{compactJson(payload), now};
  return name;
}

const ReceivedPayload* latestDigest(const BrowserState& state, std::string_view source) {
  auto found = state.digests.find(lowerCase(source));
  return found == state.digests.end() ? nullptr : &found->second;
}

}  // namespace mivet::sim
