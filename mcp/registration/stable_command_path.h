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

// The running executable: selfExecutablePath of argument 0 under PATH and the
// working directory, or, when argument 0 is empty or leads to no executable
// file, the path the operating system reports for the running program.
std::string runningExecutablePath(const std::vector<std::string>& arguments);

// Keeps a symbolic link at the stable command path pointing to the executable
// at `selfPath` (absolute, links resolved) and returns the path the
// assistants are to run: the stable command path, or `selfPath` when that is
// not an executable file and nothing is at the stable command path. A link
// that already names `selfPath` is kept. Whatever else is there is replaced,
// unless it is the executable itself or holds it (told by file identity, not
// by spelling): the running program is never removed. Throws
// std::runtime_error naming the stable command path, the reason and what to
// do when, for an executable `selfPath`, the stable command path does not
// lead to it afterwards (a folder that cannot be written, a folder there
// that holds the program): registering it would name a command that does
// not run this program.
std::string stableCommandPathLinkedTo(const std::string& selfPath, const std::string& home);

// stableCommandPathLinkedTo for the running executable.
std::string stableSelfCommandPath(const std::vector<std::string>& arguments,
                                  const std::string& home);

}  // namespace mivet::mcp
