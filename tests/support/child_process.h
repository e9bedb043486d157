#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace mivet::test {

struct ProcessResult {
  int exitStatus = -1;  // -1 when it did not exit normally
  int termSignal = 0;   // the signal that ended it, if one did
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::vector<std::string> env;  // "NAME=value" entries added to (or replacing in) ours
  std::string workingDirectory;  // empty: ours
  // Start the child with every signal at its default action, as a shell or a
  // browser would, rather than inheriting the SIGPIPE that this process ignores.
  bool defaultSignals = false;
  // Hand the child its stdin and stdout marked O_NONBLOCK, as some clients do.
  bool nonBlockingStdio = false;
  // Hand the child a stdout pipe already full, so that its first write finds
  // no room; what the test reads of it starts after that filler.
  bool fullStdout = false;
};

// Options that only add environment entries.
inline ProcessOptions withEnvironment(std::vector<std::string> env) {
  ProcessOptions options;
  options.env = std::move(env);
  return options;
}

// Runs `argv`, feeds it `input` and closes its stdin, collects stdout and
// stderr until it exits.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const ProcessOptions& options = {});

// A running child with pipes on stdin, stdout and stderr, for tests that
// talk to it turn by turn.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void write(const std::string& bytes);
  void closeStdin();
  void closeStdout();
  // The next line without its LF; nullopt at end of output or after `timeout`.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Exactly `count` bytes of output; nullopt at end of output or after `timeout`.
  std::optional<std::string> readBytes(
      std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Whether more output arrives within `timeout`.
  bool outputPending(std::chrono::milliseconds timeout);
  // Closes stdin if still open and waits for the exit; the rest of stdout
  // and stderr is kept in the result.
  ProcessResult wait();
  pid_t pid() const { return pid_; }

 private:
  bool fill(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::size_t fillerLeft_ = 0;  // of the full stdout's filler, still to skip
  std::string buffered_;
};

}  // namespace mivet::test
