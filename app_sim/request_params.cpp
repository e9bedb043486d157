#include "app_sim/request_params.h"

#include "app_sim/bad_request.h"
#include "common/json_reader.h"
#include "common/unicode_text.h"

#include <cmath>
#include <string>

namespace mivet::sim {
namespace {

std::string quoted(std::string_view name) {
  return "\"" + std::string(name) + "\"";
}

std::optional<simdjson::dom::element> presentMember(simdjson::dom::object params,
                                                    std::string_view name) {
  simdjson::dom::element value;
  if (params.at_key(name).get(value) != simdjson::SUCCESS || value.is_null()) return std::nullopt;
  return value;
}

simdjson::dom::element requiredMember(simdjson::dom::object params, std::string_view name) {
  auto value = presentMember(params, name);
  if (!value) throw BadRequest("missing required argument " + quoted(name));
  return *value;
}

std::string_view asString(simdjson::dom::element value, std::string_view name) {
  auto text = jsonString(value);
  if (!text) throw BadRequest("argument " + quoted(name) + " must be a string");
  return *text;
}

}  // namespace

std::string_view requiredString(simdjson::dom::object params, std::string_view name) {
  return asString(requiredMember(params, name), name);
}

std::string_view requiredText(simdjson::dom::object params, std::string_view name) {
  std::string_view text = trimWhitespaceAndNewlines(requiredString(params, name));
  if (text.empty()) throw BadRequest("argument " + quoted(name) + " must not be empty");
  return text;
}

std::optional<std::string_view> optionalString(simdjson::dom::object params,
                                               std::string_view name) {
  auto value = presentMember(params, name);
  if (!value) return std::nullopt;
  return asString(*value, name);
}

std::optional<bool> optionalBool(simdjson::dom::object params, std::string_view name) {
  auto value = presentMember(params, name);
  if (!value) return std::nullopt;
  bool flag = false;
  if (value->get_bool().get(flag) != simdjson::SUCCESS) {
    throw BadRequest("argument " + quoted(name) + " must be true or false");
  }
  return flag;
}

std::int64_t requiredInteger(simdjson::dom::object params, std::string_view name) {
  simdjson::dom::element value = requiredMember(params, name);
  std::int64_t number = 0;
  if (value.get_int64().get(number) == simdjson::SUCCESS) return number;
  // Some clients write every number with a fraction; 2.0 still means 2.
  double real = 0;
  if (value.get_double().get(real) == simdjson::SUCCESS && real == std::trunc(real) &&
      std::fabs(real) < 1e15) {
    return static_cast<std::int64_t>(real);
  }
  throw BadRequest("argument " + quoted(name) + " must be an integer");
}

}  // namespace mivet::sim
