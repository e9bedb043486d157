#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

// home + "/Library/Application Support/Mivet/bin/mivet-mcp", the command that
// registrations name. Looks at nothing on disk.
std::string stableCommandPathFor(const std::string& home);

// The running executable found from `invocation` (argument 0) the way the
// shell found it: a name without a slash is searched in `searchPath` (a PATH
// value; an empty entry is the working directory) and stays under
// `workingDirectory` when not found there. The result is made absolute
// against `workingDirectory`, "." and ".." are removed, and then every
// symbolic link is resolved (a path that does not exist stays unresolved).
std::string selfExecutablePath(const std::string& invocation, const std::string& searchPath,
                               const std::string& workingDirectory);

// Keeps a symbolic link at the stable command path pointing to the running
// executable (made or replaced only when it does not already point there)
// and returns the path the assistants are to run: the stable command path,
// or the self path when that is not an executable file and nothing is at the
// stable command path. Never fails: file-system failures are ignored.
std::string stableSelfCommandPath(const std::vector<std::string>& arguments,
                                  const std::string& home);

}  // namespace mivet::mcp
