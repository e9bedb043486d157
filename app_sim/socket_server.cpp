#include "app_sim/socket_server.h"

#include "common/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <list>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

namespace mivet::sim {
namespace {

#ifdef MSG_NOSIGNAL
constexpr int sendFlags = MSG_NOSIGNAL;
#else
constexpr int sendFlags = 0;  // SO_NOSIGPIPE is set on the connection instead
#endif

constexpr int sendTimeoutSeconds = 10;

enum class Wait { input, stop, timeout };

Wait waitForInput(int fd, int stopFd, std::chrono::milliseconds timeout) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
  int rc;
  do {
    rc = ::poll(fds, 2, static_cast<int>(timeout.count()));
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) return Wait::timeout;
  if (rc < 0 || fds[1].revents != 0) return Wait::stop;
  return Wait::input;
}

struct Request {
  enum class Kind { line, tooLarge, none } kind = Kind::none;
  std::string line;
};

// Reads up to the first LF. A client that shuts down its side after a
// request without LF still gets an answer; one that sends nothing gets none.
Request readRequest(int fd, int stopFd, const ServerLimits& limits) {
  std::string received;
  char chunk[4096];
  for (;;) {
    if (waitForInput(fd, stopFd, limits.idleTimeout) != Wait::input) return {};
    ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return {};
    if (count == 0) {
      if (received.empty()) return {};
      return {Request::Kind::line, std::move(received)};
    }
    std::size_t searchFrom = received.size();
    received.append(chunk, static_cast<std::size_t>(count));
    std::size_t lineEnd = received.find('\n', searchFrom);
    if (lineEnd != std::string::npos) {
      received.resize(lineEnd);
      return {Request::Kind::line, std::move(received)};
    }
    if (received.size() > limits.maxRequestBytes) return {Request::Kind::tooLarge, {}};
  }
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::send(fd, bytes.data(), bytes.size(), sendFlags);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;  // the client has gone or stopped reading
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

std::string answerFor(const Request& request, const RequestHandler& handler,
                      const ServerLimits& limits) {
  if (request.kind == Request::Kind::tooLarge) {
    return R"({"ok":false,"error":"the request is longer than )" +
           std::to_string(limits.maxRequestBytes) + R"( bytes"})";
  }
  try {
    return handler(request.line);
  } catch (...) {
    return R"({"ok":false,"error":"the request could not be answered"})";
  }
}

void serveConnection(UniqueFd connection, int stopFd, const RequestHandler& handler,
                     const ServerLimits& limits) {
  Request request = readRequest(connection.get(), stopFd, limits);
  if (request.kind == Request::Kind::none) return;
  std::string answer = answerFor(request, handler, limits);
  answer += '\n';
  writeAll(connection.get(), answer);
}

void prepareConnection(int fd) {
  std::ignore = ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  std::ignore = ::fcntl(
      fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // macOS passes it on from the listener
  timeval timeout{};
  timeout.tv_sec = sendTimeoutSeconds;
  std::ignore = ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
#ifdef SO_NOSIGPIPE
  int on = 1;
  std::ignore = ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

// The threads serving connections; finished ones are joined as new ones start.
class ConnectionThreads {
 public:
  ~ConnectionThreads() { joinAll(); }

  void start(std::function<void()> work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([work = std::move(work), done] {
      work();
      done->store(true);
    });
    threads_.push_back({std::move(thread), std::move(done)});
  }

  void joinFinished() {
    for (auto it = threads_.begin(); it != threads_.end();) {
      if (!it->done->load()) {
        ++it;
        continue;
      }
      it->thread.join();
      it = threads_.erase(it);
    }
  }

  void joinAll() {
    for (auto& running : threads_) running.thread.join();
    threads_.clear();
  }

 private:
  struct Running {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::list<Running> threads_;
};

}  // namespace

void serveConnections(int listenFd, int stopFd, const RequestHandler& handler,
                      const ServerLimits& limits) {
  // Non-blocking, so a connection that vanishes between poll and accept cannot stall the loop.
  std::ignore = ::fcntl(listenFd, F_SETFL, ::fcntl(listenFd, F_GETFL) | O_NONBLOCK);
  ConnectionThreads threads;
  for (;;) {
    Wait wait = waitForInput(listenFd, stopFd, std::chrono::milliseconds{-1});
    if (wait == Wait::stop) break;
    threads.joinFinished();
    if (wait != Wait::input) continue;
    int accepted = ::accept(listenFd, nullptr, nullptr);
    if (accepted < 0) continue;
    auto connection = std::make_shared<UniqueFd>(accepted);
    prepareConnection(connection->get());
    try {
      threads.start([connection, stopFd, &handler, &limits] {
        serveConnection(std::move(*connection), stopFd, handler, limits);
      });
    } catch (const std::system_error&) {
      // No thread to spare: the connection closes unanswered and the client reports it.
    }
  }
  threads.joinAll();
}

}  // namespace mivet::sim
