#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>

namespace mivet::bridge {

// Replaces the content of `line` with the request {"id","method","params"} as
// compact JSON followed by one LF, with a new upper-case UUID as "id".
// `paramsText`, when not empty, is the valid JSON text `params` was parsed
// from (it may run on past them) and is copied instead of written value by
// value where the result is the same. `method` is plain ASCII. False when the
// request cannot be serialised (then `line` must not be sent).
bool buildRequestLine(std::string& line, std::string_view method, simdjson::dom::object params,
                      std::string_view paramsText = {});

}  // namespace mivet::bridge
