#include "app_sim/app.h"
#include "app_sim/dispatch.h"
#include "app_sim/listening_socket.h"
#include "app_sim/options.h"
#include "app_sim/socket_server.h"
#include "app_sim/state_file.h"
#include "app_sim/stop_signal.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

int run(const mivet::sim::Options& options) {
  mivet::sim::App app;
  app.statePath = options.statePath;
  app.calendarPath = options.calendarPath;
  app.tasks = mivet::sim::loadTasks(options.statePath, app.clock());

  mivet::UniqueFd stop = mivet::sim::stopOnTerminationSignals();
  mivet::sim::ListeningSocket listener(options.socketPath);
  std::fprintf(stderr, "mivet-app-sim: listening on %s (tasks in %s)\n", listener.path().c_str(),
               app.statePath.c_str());
  mivet::sim::serveConnections(listener.fd(), stop.get(), [&app](std::string_view line) {
    return mivet::sim::answerRequest(app, line);
  });
  std::fprintf(stderr, "mivet-app-sim: stopped\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  auto commandLine = mivet::sim::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (commandLine.showHelp) {
    std::fputs(mivet::sim::usageText().c_str(), stdout);
    return 0;
  }
  if (!commandLine.error.empty()) {
    std::fprintf(stderr, "mivet-app-sim: %s\n\n%s", commandLine.error.c_str(),
                 mivet::sim::usageText().c_str());
    return 2;
  }
  try {
    return run(commandLine.options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mivet-app-sim: %s\n", error.what());
    return 1;
  }
}
