#pragma once

#include "mcp/registration/config_locations.h"

#include <string>

namespace mivet::mcp {

// Run as root on a home directory that belongs to another user (sudo keeps
// HOME on macOS, and sudo -E keeps CLAUDE_CONFIG_DIR and CODEX_HOME too), the
// registration commands would follow that user's links with root's rights.
// This looks at every location the command touches: `home`, and the folders
// in `directories` that are set. Each is read as the command will use it:
// the owner of what is there, through links, and of the link itself; where
// nothing is there yet, of the nearest folder above it that exists. When any
// of them belongs to a user other than root, root is given up for good and
// the identity of that user is taken: their uid, their primary group and
// their supplementary groups (where the user database has no entry for them,
// the location's group alone); none of root's groups is kept. From then on
// the kernel decides what may be read, followed and written, exactly as for
// the user, and whatever is made belongs to them. Does nothing when not
// running as root or when every location belongs to root. Throws
// std::runtime_error naming the locations and their owners when they belong
// to different users, and naming the location and the uid when the identity
// cannot be taken; the process must then not go on.
void actAsOwnerOfHome(const std::string& home, const ClientConfigDirectories& directories);

}  // namespace mivet::mcp
