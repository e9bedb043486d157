#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mivet::test {

// What the fake application does with one connection.
struct FakeAnswer {
  std::string bytes;                        // written back as they are (add the LF yourself)
  std::chrono::milliseconds delay{0};       // pause before the first byte
  std::size_t chunkSize = 0;                // 0: one write; else pieces of this size
  std::chrono::milliseconds chunkPause{0};  // pause between pieces
  bool holdOpen = false;  // after the bytes, keep the connection until the app ends
  // After the bytes, end the whole process with SIGKILL, as a crashing
  // application would. Only for a FakeApp that runs in a process of its own.
  bool killProcessAfterWriting = false;
};

// Builds a one-line answer: `json` followed by LF.
FakeAnswer lineAnswer(std::string json);

// Stands in for the desktop application: a Unix-domain socket server that
// serves every connection on a thread of its own, reads the request up to its
// first LF, records it and answers as the test's handler says.
class FakeApp {
 public:
  using Handler = std::function<FakeAnswer(const std::string& requestLine)>;
  // Called for each new connection (numbered from 1) before anything is read
  // from it. An answer it returns is given without reading the request, which
  // is then neither recorded nor passed to the handler; nullopt reads as usual.
  using UnreadAnswer = std::function<std::optional<FakeAnswer>(int connection)>;

  FakeApp(std::string socketPath, Handler handler, UnreadAnswer unreadAnswer = nullptr);
  ~FakeApp();
  FakeApp(const FakeApp&) = delete;
  FakeApp& operator=(const FakeApp&) = delete;

  const std::string& socketPath() const { return socketPath_; }
  // Request lines received so far, without their LF, in arrival order.
  std::vector<std::string> requests() const;
  int connections() const { return connections_.load(); }
  // Waits until `count` requests have arrived or `timeout` has passed.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  void acceptLoop();
  void startWorker(int fd, int connection);
  void joinFinishedWorkers();
  void serve(int fd, int connection);
  std::optional<std::string> readRequestLine(int fd);
  void sendAnswer(int fd, const FakeAnswer& answer);
  void waitUntilEnded();

  std::string socketPath_;
  Handler handler_;
  UnreadAnswer unreadAnswer_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<Worker> workers_;  // touched by the acceptor, then by the destructor
  std::thread acceptor_;
};

}  // namespace mivet::test
