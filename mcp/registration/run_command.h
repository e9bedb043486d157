#pragma once

#include <string>
#include <vector>

namespace mivet::mcp {

// The registration commands of mivet-mcp. Each first reads the home
// directory, gives up root for the home's owner (actAsOwnerOfHome) and works
// out where the assistants keep their files (configLocationsFor). A command
// that fails does not return: it prints why on stderr ("Install failed: ...")
// and exits with status 1.

// Prints where the server is registered.
void runStatusCommand();

// Registers the server in the files of the clients `target` selects, after
// making the stable command link for the running program (found from
// argument 0 of `arguments`), then prints one line per file written.
void runInstallCommand(const std::string& target, const std::vector<std::string>& arguments);

// Removes the registration from the files of the clients `target` selects,
// then prints "Removed Mivet MCP (<target>)".
void runUninstallCommand(const std::string& target);

}  // namespace mivet::mcp
