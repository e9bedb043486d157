#pragma once

#include <string>

namespace mivet::mcp {

// Run as root on a home directory that belongs to another user (sudo keeps
// HOME on macOS), the registration commands would follow that user's links
// with root's rights. This gives up root for good and takes on the identity
// of the home's owner: their uid, their primary group and their supplementary
// groups (where the user database has no entry for the owner, the home's
// group alone). From then on the kernel decides what may be read, followed
// and written, exactly as for the user, and whatever is made belongs to them.
// Does nothing when not running as root, when the home belongs to root, or
// when nothing is at `home`. Throws std::runtime_error naming the home and
// the uid when the identity cannot be taken; the process must then not go on.
void actAsOwnerOfHome(const std::string& home);

}  // namespace mivet::mcp
