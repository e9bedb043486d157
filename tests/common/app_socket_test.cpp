#include "common/app_socket.h"

#include "tests/support/close_on_exec.h"
#include "tests/support/fake_app.h"
#include "tests/support/stuck_listener.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace mivet {
namespace {

using test::FakeAnswer;

TEST(AppSocketTest, PathLimitIs104BytesWithTheNul) {
  test::TempDir dir;
  std::string base = dir.path() + "/";
  std::string fits = base + std::string(103 - base.size(), 's');
  test::FakeApp app(fits, [](const std::string&) { return test::lineAnswer("{}"); });
  EXPECT_TRUE(std::holds_alternative<UniqueFd>(connectToAppSocket(fits, 1)));
  auto tooLong = connectToAppSocket(fits + "x", 1);
  ASSERT_TRUE(std::holds_alternative<ConnectFailure>(tooLong));
  EXPECT_EQ(std::get<ConnectFailure>(tooLong), ConnectFailure::pathTooLong);
}

TEST(AppSocketTest, NobodyListeningIsAConnectFailure) {
  test::TempDir dir;
  auto result = connectToAppSocket(dir.file("none.sock"), 1);
  ASSERT_TRUE(std::holds_alternative<ConnectFailure>(result));
  EXPECT_EQ(std::get<ConnectFailure>(result), ConnectFailure::connect);
}

TEST(AppSocketTest, AListenerThatTakesNoConnectionIsATimeOutNotAnAbsentApp) {
  test::TempDir dir;
  test::StuckListener stuck(dir.file("stuck.sock"));
  if (!stuck.filled()) GTEST_SKIP() << "this system refuses connections to a full backlog";
  auto result = connectToAppSocket(dir.file("stuck.sock"), 1);
  ASSERT_TRUE(std::holds_alternative<ConnectFailure>(result));
  EXPECT_EQ(std::get<ConnectFailure>(result), ConnectFailure::timedOut);
}

// A socket listening at `path` (a leading NUL names an abstract address,
// on Linux) that never accepts; accept(2) on it does not block.
UniqueFd listenerAt(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  UniqueFd fd(test::openUnixStreamSocket());
  if (!fd.valid() || ::fcntl(fd.get(), F_SETFL, O_NONBLOCK) != 0 ||
      ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.get(), 8) != 0) {
    throw std::runtime_error("cannot listen for the test");
  }
  return fd;
}

// While it lives, this process can open no descriptor: socket(2) fails.
class NoFreeDescriptors {
 public:
  NoFreeDescriptors() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit lowered = saved_;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~NoFreeDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  NoFreeDescriptors(const NoFreeDescriptors&) = delete;
  NoFreeDescriptors& operator=(const NoFreeDescriptors&) = delete;

 private:
  rlimit saved_{};
};

std::optional<ConnectFailure> failureOf(const std::variant<UniqueFd, ConnectFailure>& result) {
  if (const auto* failure = std::get_if<ConnectFailure>(&result)) return *failure;
  return std::nullopt;
}

// Such a path names no file: up to its first NUL it could name another
// socket, or an abstract one that any local user can bind.
TEST(AppSocketTest, EmptyPathsAndPathsWithNulAreRefusedBeforeAnySocketIsMade) {
  test::TempDir dir;
  std::vector<std::string> paths{"", std::string(1, '\0'), dir.file("a") + std::string("\0b", 2)};
  std::vector<UniqueFd> listeners;
  listeners.push_back(listenerAt(dir.file("a")));
#ifdef __linux__
  // An abstract address unique to this run: the temporary folder's name after a NUL.
  paths.push_back('\0' + dir.path());
  listeners.push_back(listenerAt(paths.back()));
#endif
  for (const std::string& path : paths) {
    EXPECT_EQ(failureOf(connectToAppSocket(path, 1)), ConnectFailure::connect) << path.size();
    NoFreeDescriptors none;
    EXPECT_EQ(failureOf(connectToAppSocket(path, 1)), ConnectFailure::connect)
        << "a socket was made for a path of " << path.size() << " bytes";
  }
  for (const UniqueFd& listener : listeners) {
    EXPECT_LT(::accept(listener.get(), nullptr, nullptr), 0) << "a connection reached a listener";
  }
}

std::optional<std::string> exchangeWith(const FakeAnswer& answer, std::string* request = nullptr) {
  test::TempDir dir;
  test::FakeApp app(dir.file("a.sock"), [&](const std::string&) { return answer; });
  auto fd = std::get<UniqueFd>(connectToAppSocket(app.socketPath(), 2));
  auto line = exchangeLine(fd.get(), "{\"q\":1}\n");
  fd.reset();
  app.waitForRequests(1, std::chrono::seconds(2));
  if (request && !app.requests().empty()) *request = app.requests()[0];
  return line;
}

TEST(AppSocketTest, ReadsUpToTheFirstLineFeed) {
  std::string request;
  EXPECT_EQ(exchangeWith(FakeAnswer{"{\"a\":1}\nrest\n"}, &request), "{\"a\":1}");
  EXPECT_EQ(request, "{\"q\":1}");
  std::string big(20000, 'x');
  EXPECT_EQ(exchangeWith(FakeAnswer{big + "\n", {}, 1000}), big);
  EXPECT_EQ(exchangeWith(FakeAnswer{"\n"}), "");
}

TEST(AppSocketTest, ClosingBeforeALineFeedIsNoAnswer) {
  EXPECT_EQ(exchangeWith(FakeAnswer{"{\"ok\":true}"}), std::nullopt);
  EXPECT_EQ(exchangeWith(FakeAnswer{""}), std::nullopt);
}

}  // namespace
}  // namespace mivet
