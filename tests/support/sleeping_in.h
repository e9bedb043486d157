#pragma once

#include <sys/types.h>

#include <chrono>

namespace mivet::test {

// System calls a test may need to see a thread wait in: poll(2) once its
// descriptor was found not ready, open(2) of a FIFO that nobody has open
// for the other direction, a pause between attempts (nanosleep(2)).
enum class BlockingCall { poll, open, sleep };

// Whether thread `tid` of process `pid` sleeps in `call` now. Linux shows it
// in /proc; elsewhere nothing does, and the answer is true.
bool sleepingIn(BlockingCall call, pid_t pid, pid_t tid);

// Waits until sleepingIn is true; false when that is not seen within
// `timeout` (the thread ended, or never had to wait). Outside Linux the
// thread is given 200 ms to get there.
bool waitUntilSleepingIn(BlockingCall call, pid_t pid, pid_t tid,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The calling thread's id as these take it.
pid_t currentThreadId();

}  // namespace mivet::test
