#include "fake_app.h"

#include "close_on_exec.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace mivet::test {

namespace {

#ifdef MSG_NOSIGNAL
constexpr int sendFlags = MSG_NOSIGNAL;
#else
constexpr int sendFlags = 0;  // ignoreSigpipeOn covers it
#endif

// A client that hangs up early must not end the test process with SIGPIPE.
void ignoreSigpipeOn([[maybe_unused]] int fd) {
#ifdef SO_NOSIGPIPE
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

}  // namespace

FakeAnswer lineAnswer(std::string json) {
  return FakeAnswer{json + "\n"};
}

FakeApp::FakeApp(std::string socketPath, Handler handler, UnreadAnswer unreadAnswer)
    : socketPath_(std::move(socketPath)),
      handler_(std::move(handler)),
      unreadAnswer_(std::move(unreadAnswer)) {
  ::unlink(socketPath_.c_str());
  listenFd_ = openUnixStreamSocket();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
  if (listenFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 128) != 0 || !openPipe(wakeFds_)) {
    throw std::runtime_error("fake app cannot listen on " + socketPath_);
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

FakeApp::~FakeApp() {
  std::ignore = ::write(wakeFds_[1], "x", 1);
  acceptor_.join();
  for (auto& worker : workers_) worker.thread.join();
  ::close(listenFd_);
  ::close(wakeFds_[0]);
  ::close(wakeFds_[1]);
  ::unlink(socketPath_.c_str());
}

void FakeApp::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    int fd = acceptConnection(listenFd_);
    if (fd < 0) continue;
    ignoreSigpipeOn(fd);
    startWorker(fd, ++connections_);
  }
}

void FakeApp::startWorker(int fd, int connection) {
  // Long runs open thousands of connections; finished threads are joined as
  // new ones start so that they do not pile up.
  joinFinishedWorkers();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([this, fd, connection, finished] {
    serve(fd, connection);
    *finished = true;
  });
  workers_.push_back(Worker{std::move(thread), std::move(finished)});
}

void FakeApp::joinFinishedWorkers() {
  for (auto& worker : workers_) {
    if (*worker.finished) worker.thread.join();
  }
  std::erase_if(workers_, [](const Worker& worker) { return !worker.thread.joinable(); });
}

void FakeApp::serve(int fd, int connection) {
  std::optional<FakeAnswer> answer = unreadAnswer_ ? unreadAnswer_(connection) : std::nullopt;
  if (!answer) {
    std::optional<std::string> line = readRequestLine(fd);
    if (line) {
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(*line);
      }
      answer = handler_(*line);
    } else {
      answer = FakeAnswer{};
    }
  }
  sendAnswer(fd, *answer);
  if (answer->killProcessAfterWriting) ::kill(::getpid(), SIGKILL);
  if (answer->holdOpen) waitUntilEnded();
  ::close(fd);
}

std::optional<std::string> FakeApp::readRequestLine(int fd) {
  std::string line;
  char buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) return std::nullopt;
    line.append(buffer, static_cast<std::size_t>(count));
    auto end = line.find('\n');
    if (end != std::string::npos) {
      line.resize(end);
      return line;
    }
  }
}

void FakeApp::sendAnswer(int fd, const FakeAnswer& answer) {
  if (answer.delay.count() > 0) std::this_thread::sleep_for(answer.delay);
  std::size_t chunk = answer.chunkSize == 0 ? answer.bytes.size() : answer.chunkSize;
  for (std::size_t at = 0; at < answer.bytes.size(); at += chunk) {
    if (at > 0 && answer.chunkPause.count() > 0) std::this_thread::sleep_for(answer.chunkPause);
    std::size_t size = std::min(chunk, answer.bytes.size() - at);
    if (::send(fd, answer.bytes.data() + at, size, sendFlags) < 0) break;
  }
}

// The wake pipe turns readable for good when the destructor starts.
void FakeApp::waitUntilEnded() {
  pollfd wake{wakeFds_[0], POLLIN, 0};
  while (::poll(&wake, 1, -1) <= 0) {
  }
}

std::vector<std::string> FakeApp::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool FakeApp::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (requests().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return requests().size() >= count;
}

}  // namespace mivet::test
