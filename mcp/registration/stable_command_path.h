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

// The running executable as the operating system reports it (links
// resolved), whatever argument 0 says; only where the system cannot tell,
// selfExecutablePath of argument 0 under PATH and the working directory.
std::string runningExecutablePath(const std::vector<std::string>& arguments);

// Keeps a symbolic link at the stable command path pointing to the executable
// at `selfPath` (absolute, links resolved) and returns the path the
// assistants are to run: the stable command path, or `selfPath` when that is
// not an executable file and nothing is at the stable command path. A link
// that already names `selfPath` is kept. Whatever else is there is replaced,
// unless it is the executable itself or holds it (told by file identity, not
// by spelling): the running program is never removed. Throws
// std::runtime_error, before anything is made, naming the first folder on
// the way to `selfPath` that this process (under root, the home's owner)
// cannot enter, or when it may not execute the program; and, as
// checkedStableCommandPath does, when the stable command path cannot be made
// to lead to it: registering either would name a command that does not run
// this program.
std::string stableCommandPathLinkedTo(const std::string& selfPath, const std::string& home);

// What an attempt to point the stable link at the program came to.
struct StableLinkAttempt {
  std::string failedStep;  // empty when every step succeeded, e.g. "making a link in <folder>"
  int error = 0;           // the errno of that step
};

// `stablePath` when, after `attempt`, it leads to `selfPath`; also when the
// attempt succeeded and it leads to another executable of the same name (a
// copy of the program installing at the same moment linked it last). Throws
// std::runtime_error naming the path and what happened otherwise: the step
// that failed with its error, a folder there that holds the program, or
// something else put there meanwhile.
std::string checkedStableCommandPath(const std::string& stablePath, const std::string& selfPath,
                                     const StableLinkAttempt& attempt);

// stableCommandPathLinkedTo for the running executable.
std::string stableSelfCommandPath(const std::vector<std::string>& arguments,
                                  const std::string& home);

}  // namespace mivet::mcp
