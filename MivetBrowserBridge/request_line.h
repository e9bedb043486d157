#pragma once

#include <simdjson.h>

#include <string>
#include <string_view>

namespace mivet::bridge {

// Appends `params` to `out` as compact JSON, as JsonWriter writes it. False
// when they cannot be serialised.
bool appendParams(std::string& out, simdjson::dom::object params);

// Turns `line`, which holds the request's params as compact JSON, into the
// whole request line: {"id","method","params"} followed by one LF, with a new
// upper-case UUID as "id" and the members in the order and form JsonWriter
// gives them. `method` is plain ASCII. Never fails.
void wrapParamsInRequestLine(std::string& line, std::string_view method);

}  // namespace mivet::bridge
