#include "sleeping_in.h"

#include <unistd.h>

#include <fstream>
#include <string>
#include <thread>

#ifdef __linux__
#include <sys/syscall.h>
#endif

namespace mivet::test {
namespace {

#ifdef __linux__
// The number of the system call the thread sleeps in, as /proc gives it; -1
// while it runs (the file says "running") or once it has ended.
long currentSystemCall(pid_t pid, pid_t tid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  if (!(file >> number)) return -1;
  return number;
}

// The C library reaches each of them through either of two calls.
bool isCall(BlockingCall call, long number) {
  if (call == BlockingCall::sleep) {
#ifdef SYS_nanosleep
    if (number == SYS_nanosleep) return true;
#endif
    return number == SYS_clock_nanosleep;
  }
  if (call == BlockingCall::poll) {
#ifdef SYS_poll
    if (number == SYS_poll) return true;
#endif
    return number == SYS_ppoll;
  }
#ifdef SYS_open
  if (number == SYS_open) return true;
#endif
  return number == SYS_openat;
}
#endif

}  // namespace

bool sleepingIn([[maybe_unused]] BlockingCall call, [[maybe_unused]] pid_t pid,
                [[maybe_unused]] pid_t tid) {
#ifdef __linux__
  return isCall(call, currentSystemCall(pid, tid));
#else
  return true;
#endif
}

bool waitUntilSleepingIn([[maybe_unused]] BlockingCall call, [[maybe_unused]] pid_t pid,
                         [[maybe_unused]] pid_t tid,
                         [[maybe_unused]] std::chrono::milliseconds timeout) {
#ifdef __linux__
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!sleepingIn(call, pid, tid)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
#endif
  return true;
}

pid_t currentThreadId() {
#ifdef __linux__
  return static_cast<pid_t>(::syscall(SYS_gettid));
#else
  return ::getpid();
#endif
}

}  // namespace mivet::test
