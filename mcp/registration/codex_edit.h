#pragma once

#include <string>
#include <string_view>

namespace mivet::mcp {

// The UTF-8 text of Codex's configuration file `path` with the server's table,
// holding `command`, at the end in place of any earlier registration; every
// other line kept. Throws std::runtime_error naming `path` when `text` is not
// valid TOML, defines the server in a form that cannot be taken out (dotted
// keys, an inline table, a header this edit cannot read), or when the result
// would change another value or would not hold exactly the table written.
std::string codexConfigWithServer(std::string_view text, std::string_view command,
                                  const std::string& path);

// `text` without the server's registration, with trailing blank lines
// dropped and one final line end; `text` itself when it is valid TOML that
// does not define mcp_servers.mivet, or other text without the line
// "[mcp_servers.mivet]". Text that is not valid TOML loses the blocks of the
// server's headers. Throws std::runtime_error naming `path` when the server
// is defined in a form that cannot be taken out, or when the edit would make
// valid TOML invalid or change another value.
std::string codexConfigWithoutServer(std::string_view text, const std::string& path);

}  // namespace mivet::mcp
