#include "interrupt_cleanup.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <tuple>

namespace mivet {
namespace {

constexpr std::array interruptions{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The handler may only call async-signal-safe functions, so the paths sit in
// fixed buffers set up before any signal can need them. A slot's `removal`
// is set last when it is filled and cleared first when it is emptied.
enum Removal : int { none, unlinkIt, rmdirIt };
struct Slot {
  volatile std::sig_atomic_t removal = none;
  char path[PATH_MAX]{};
};
std::array<Slot, 4> slots;

void removeRegisteredPaths() {
  for (Slot& slot : slots) {
    if (slot.removal == unlinkIt) std::ignore = ::unlink(slot.path);
    if (slot.removal == rmdirIt) std::ignore = ::rmdir(slot.path);
  }
}

// The signal is blocked while its handler runs, so the raise takes effect
// with the default action as soon as the handler returns.
void onInterrupt(int signal) {
  const int savedErrno = errno;
  removeRegisteredPaths();
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  ::sigaction(signal, &defaultAction, nullptr);
  ::raise(signal);
  errno = savedErrno;
}

void remember(const std::string& path, Removal removal) {
  if (path.size() >= PATH_MAX) return;
  for (Slot& slot : slots) {
    if (slot.removal != none) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.removal = removal;
    return;
  }
}

sigset_t interruptionSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : interruptions) sigaddset(&set, signal);
  return set;
}

}  // namespace

void removeTemporaryFilesOnInterrupt() {
  for (int signal : interruptions) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_mask = interruptionSet();
    ::sigaction(signal, &action, nullptr);
  }
}

void removeFileOnInterrupt(const std::string& path) {
  remember(path, unlinkIt);
}

void removeDirectoryOnInterrupt(const std::string& path) {
  remember(path, rmdirIt);
}

void forgetOnInterrupt(const std::string& path) {
  for (Slot& slot : slots) {
    if (slot.removal != none && path == slot.path) slot.removal = none;
  }
}

InterruptsHeldBack::InterruptsHeldBack() {
  const sigset_t set = interruptionSet();
  ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

InterruptsHeldBack::~InterruptsHeldBack() {
  ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace mivet
