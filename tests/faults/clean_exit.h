#pragma once

#include "tests/faults/fault_support.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>

namespace mivet::faults {

// Closes the child's stdin and expects it to exit with status 0 within 10 s,
// having written nothing more to stdout or stderr.
inline void expectCleanExitAtEndOfInput(test::ChildProcess& child) {
  child.closeStdin();
  auto result = waitForExit(child, std::chrono::seconds(10));
  ASSERT_TRUE(result) << "still running 10 s after the end of its input";
  EXPECT_EQ(result->exitStatus, 0);
  EXPECT_EQ(result->termSignal, 0);
  EXPECT_EQ(result->out, "");
  EXPECT_EQ(result->err, "");
}

}  // namespace mivet::faults
