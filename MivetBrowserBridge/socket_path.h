#pragma once

#include <string>
#include <vector>

namespace mivet::bridge {

// The argument after the first "--socket" among `arguments`, verbatim; when
// there is none (or "--socket" comes last), home directory +
// "/Library/Application Support/Mivet/ipc.sock". Other arguments, such as the
// caller's origin that the browser passes, are ignored. Never fails.
std::string defaultSocketPath(const std::vector<std::string>& arguments);

}  // namespace mivet::bridge
