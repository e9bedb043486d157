#include "child_process.h"

#include "close_on_exec.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace mivet::test {
namespace {

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string current = *entry;
    std::string name = current.substr(0, current.find('='));
    bool replaced = false;
    for (const auto& e : extra) replaced = replaced || e.substr(0, e.find('=')) == name;
    if (!replaced) result.push_back(current);
  }
  result.insert(result.end(), extra.begin(), extra.end());
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

// Writes to `fd` until the pipe holds no more; returns how much went in.
std::size_t fillPipe(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const std::string filler(4096, 'f');
  std::size_t total = 0;
  for (;;) {
    ssize_t n = ::write(fd, filler.data(), filler.size());
    if (n > 0) total += static_cast<std::size_t>(n);
    if (n < 0 && errno != EINTR) break;
  }
  if (errno != EAGAIN && errno != EWOULDBLOCK) throw std::runtime_error("cannot fill a pipe");
  ::fcntl(fd, F_SETFL, flags);
  return total;
}

// Starts `argv` with pipes on its standard descriptors; `filler` is what
// fullStdout put into its stdout first.
pid_t spawn(const std::vector<std::string>& argv, const ProcessOptions& options, int& in, int& out,
            int& err, std::size_t& filler) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (!openPipe(inPipe) || !openPipe(outPipe) || !openPipe(errPipe)) {
    throw std::runtime_error("pipe failed");
  }
  if (options.nonBlockingStdio) {
    ::fcntl(inPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(outPipe[1], F_SETFL, O_NONBLOCK);
  }
  filler = options.fullStdout ? fillPipe(outPipe[1]) : 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (!options.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());
  }
  std::vector<std::string> args = argv;
  std::vector<std::string> env = mergedEnvironment(options.env);
  auto argp = pointers(args);
  auto envp = pointers(env);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  short flags = 0;
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
  // Without pipe2 another thread's pipe may not be marked yet; the child gets
  // only the three descriptors set up here.
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
  if (options.defaultSignals) {
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    flags |= POSIX_SPAWN_SETSIGDEF;
  }
  posix_spawnattr_setflags(&attributes, flags);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argp.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(inPipe[0]);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  in = inPipe[1];
  out = outPipe[0];
  err = errPipe[0];
  return pid;
}

void drainInto(int& fd, std::string& into) {
  if (fd < 0) return;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    into.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  fd = -1;
}

ProcessResult waitFor(pid_t pid, ProcessResult result) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.termSignal = WTERMSIG(status);
  return result;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const ProcessOptions& options) {
  // A child that stops reading must not kill the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int in, out, err;
  std::size_t filler = 0;
  pid_t pid = spawn(argv, options, in, out, err, filler);
  ProcessResult result;
  std::size_t written = 0;
  if (input.empty()) {
    ::close(in);
    in = -1;
  }
  while (out >= 0 || err >= 0) {
    pollfd fds[3] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {in, POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0) continue;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        (i == 0 ? out : err) = -1;
      }
    }
    if (in >= 0 && fds[2].revents != 0) {
      ssize_t n =
          ::write(in, input.data() + written, std::min<std::size_t>(65536, input.size() - written));
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) {
        ::close(in);
        in = -1;
      }
    }
  }
  if (in >= 0) ::close(in);
  result.out.erase(0, filler);
  return waitFor(pid, std::move(result));
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  pid_ = spawn(argv, options, in_, out_, err_, fillerLeft_);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    wait();
  }
}

void ChildProcess::write(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = ::write(in_, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

void ChildProcess::closeStdin() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

void ChildProcess::closeStdout() {
  if (out_ >= 0) ::close(out_);
  out_ = -1;
}

bool ChildProcess::fill(std::chrono::steady_clock::time_point deadline) {
  if (out_ < 0) return false;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() < 0) return false;
  pollfd fd{out_, POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return false;
  char buffer[65536];
  ssize_t n = ::read(out_, buffer, sizeof buffer);
  if (n <= 0) return false;
  buffered_.append(buffer, static_cast<std::size_t>(n));
  std::size_t skipped = std::min(fillerLeft_, buffered_.size());
  buffered_.erase(0, skipped);
  fillerLeft_ -= skipped;
  return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto end = buffered_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    if (!fill(deadline)) return std::nullopt;
  }
}

std::optional<std::string> ChildProcess::readBytes(std::size_t count,
                                                   std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (buffered_.size() < count) {
    if (!fill(deadline)) return std::nullopt;
  }
  std::string bytes = buffered_.substr(0, count);
  buffered_.erase(0, count);
  return bytes;
}

bool ChildProcess::outputPending(std::chrono::milliseconds timeout) {
  if (!buffered_.empty()) return true;
  return fill(std::chrono::steady_clock::now() + timeout);
}

ProcessResult ChildProcess::wait() {
  closeStdin();
  ProcessResult result;
  result.out = std::move(buffered_);
  buffered_.clear();
  drainInto(out_, result.out);
  result.out.erase(0, fillerLeft_);
  drainInto(err_, result.err);
  result = waitFor(pid_, std::move(result));
  pid_ = -1;
  return result;
}

}  // namespace mivet::test
