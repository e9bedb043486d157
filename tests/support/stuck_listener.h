#pragma once

#include <string>
#include <vector>

namespace mivet::test {

// A Unix-domain socket that listens but never accepts, with its backlog
// filled by connections of its own, as an application that hangs looks.
// Where the system refuses a connection to a full backlog instead of making
// it wait (macOS), filled() is false.
class StuckListener {
 public:
  explicit StuckListener(const std::string& socketPath);
  ~StuckListener();
  StuckListener(const StuckListener&) = delete;
  StuckListener& operator=(const StuckListener&) = delete;

  bool filled() const { return filled_; }

 private:
  int listenFd_ = -1;
  std::vector<int> fillers_;
  bool filled_ = false;
};

}  // namespace mivet::test
