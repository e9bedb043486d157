#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mivet::mcp {

// The dotted key that a TOML table header line names: "[a.b]", "[[a.b]]",
// with blanks around the key and its dots, bare keys and quoted keys, and a
// comment after the closing bracket. `line` holds no line end and no blanks
// at either end. nullopt when the line is not such a header, and for a
// quoted key holding an escape sequence, which this reading does not decode.
// Never fails.
std::optional<std::vector<std::string>> tableHeaderKey(std::string_view line);

}  // namespace mivet::mcp
