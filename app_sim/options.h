#pragma once

#include <string>
#include <vector>

namespace mivet::sim {

struct Options {
  std::string socketPath;    // default: the desktop application's socket
  std::string statePath;     // default: app-sim-tasks.json beside it
  std::string calendarPath;  // empty: no calendar
};

struct CommandLine {
  Options options;
  bool showHelp = false;
  std::string error;  // set when the arguments cannot be used
};

// Reads "--socket PATH", "--state FILE", "--calendar FILE" (or "--name=value")
// and "--help"/"-h" from the arguments after the program name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace mivet::sim
