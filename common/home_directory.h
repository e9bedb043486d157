#pragma once

#include <string>

namespace mivet {

// The current user's home directory: $HOME when set and not empty, otherwise
// the password database's entry for the real user id, otherwise "".
std::string homeDirectory();

// Home directory + "/Library/Application Support/Mivet/ipc.sock", the socket
// the desktop application listens on.
std::string defaultAppSocketPath();

}  // namespace mivet
