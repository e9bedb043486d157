#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mivet::bridge {

// Reads a frame body without parsing it into values. When the body is a JSON
// object that the text walk of compact_copy.h can vouch for, with its member
// names and its "type" written without escapes, puts the params of its
// request into `params` (compact, exactly as JsonWriter writes them; "{}" for
// a ping) and returns the method, as requestForMessage would. nullopt when
// the body has to be parsed to be judged, invalid bodies included.
std::optional<std::string_view> requestFromText(std::string_view body, std::string& params);

}  // namespace mivet::bridge
