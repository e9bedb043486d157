// A stand-in desktop application in a process of its own, so that it can
// really die in the middle of an answer. It serves the socket named by its
// one argument with faults::echoAnswer, writes "ready" and a LF on stdout
// once it listens, and ends at the end of its stdin.
#include "tests/faults/fault_support.h"
#include "tests/support/fake_app.h"

#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mivet_fault_app <socket path>\n", stderr);
    return 2;
  }
  mivet::test::FakeApp app(argv[1], mivet::faults::echoAnswer);
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
  char byte;
  while (::read(STDIN_FILENO, &byte, 1) > 0) {
  }
  return 0;
}
