#pragma once

#include <simdjson.h>

#include <string_view>

namespace mivet::bridge {

// {"ok":false,"error":code}, the reply the bridge makes up itself. The object
// stays valid for the life of the process. Never fails for a code of ASCII
// letters and underscores.
simdjson::dom::object errorReply(std::string_view code);

}  // namespace mivet::bridge
