#pragma once

#include <simdjson.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace mivet::sim {

// Arguments of a request. Each throws BadRequest with a text that names the
// argument when it is missing (for the required ones) or has the wrong type.
// An optional argument that is null counts as absent.
std::string_view requiredString(simdjson::dom::object params, std::string_view name);
// A required string that holds more than white space, trimmed.
std::string_view requiredText(simdjson::dom::object params, std::string_view name);
std::optional<std::string_view> optionalString(simdjson::dom::object params, std::string_view name);
std::optional<bool> optionalBool(simdjson::dom::object params, std::string_view name);
std::int64_t requiredInteger(simdjson::dom::object params, std::string_view name);

}  // namespace mivet::sim
