#include "app_sim/options.h"

#include "common/home_directory.h"

namespace mivet::sim {
namespace {

std::string* optionTarget(Options& options, std::string_view name) {
  if (name == "--socket") return &options.socketPath;
  if (name == "--state") return &options.statePath;
  if (name == "--calendar") return &options.calendarPath;
  return nullptr;
}

void fillDefaults(Options& options) {
  std::string directory = homeDirectory() + "/Library/Application Support/Mivet";
  if (options.socketPath.empty()) options.socketPath = defaultAppSocketPath();
  if (options.statePath.empty()) options.statePath = directory + "/app-sim-tasks.json";
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      result.showHelp = true;
      continue;
    }
    std::size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    std::string* target = optionTarget(result.options, name);
    if (!target) {
      result.error = "unknown option '" + argument + "'";
      return result;
    }
    if (equals != std::string::npos) {
      *target = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      *target = arguments[++i];
    } else {
      result.error = "option " + name + " needs a value";
      return result;
    }
    if (target->empty()) {
      result.error = "option " + name + " needs a value";
      return result;
    }
  }
  fillDefaults(result.options);
  return result;
}

std::string usageText() {
  return "Usage: mivet-app-sim [--socket PATH] [--state FILE] [--calendar FILE]\n"
         "\n"
         "Stands in for the Mivet desktop application: answers the requests of\n"
         "mivet-mcp and mivet-browser-bridge on a Unix-domain socket until it\n"
         "receives SIGINT or SIGTERM.\n"
         "\n"
         "  --socket PATH    socket to listen on (default: ~/Library/Application\n"
         "                   Support/Mivet/ipc.sock, where both programs look)\n"
         "  --state FILE     where the task list is kept (default: app-sim-tasks.json\n"
         "                   in the same directory)\n"
         "  --calendar FILE  events for schedule_today, as {\"events\": [{\"title\",\n"
         "                   \"start\", \"end\"}]} with ISO-8601 times or HH:MM for today\n";
}

}  // namespace mivet::sim
