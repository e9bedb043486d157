#include "app_sim/stop_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <stdexcept>
#include <tuple>

namespace mivet::sim {
namespace {

int stopWriteFd = -1;

void onTerminationSignal(int) {
  char byte = 1;
  // Only async-signal-safe calls here; a full pipe already says "stop".
  std::ignore = ::write(stopWriteFd, &byte, 1);
}

}  // namespace

UniqueFd stopOnTerminationSignals() {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("cannot create the stop pipe");
  for (int fd : fds) std::ignore = ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  std::ignore = ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  stopWriteFd = fds[1];  // stays open for the life of the process

  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  std::ignore = ::sigaction(SIGINT, &action, nullptr);
  std::ignore = ::sigaction(SIGTERM, &action, nullptr);
  std::ignore = ::signal(SIGPIPE, SIG_IGN);
  return UniqueFd(fds[0]);
}

}  // namespace mivet::sim
