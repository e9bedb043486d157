#include "common/app_socket.h"

#include "tests/support/fake_app.h"
#include "tests/support/stuck_listener.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

TEST(AppSocketTest, EmptyPathsAndPathsWithNulNeverReachAnAbstractSocket) {
#ifdef __linux__
  // The address an empty path filled with zero bytes would name.
  int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ::fcntl(listener, F_SETFL, O_NONBLOCK);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 8), 0);
  for (const std::string& path : {std::string(), std::string(1, '\0'), std::string("a\0b", 3)}) {
    auto result = connectToAppSocket(path, 1);
    ASSERT_TRUE(std::holds_alternative<ConnectFailure>(result));
    EXPECT_EQ(std::get<ConnectFailure>(result), ConnectFailure::connect);
  }
  EXPECT_LT(::accept(listener, nullptr, nullptr), 0) << "a connection reached the abstract socket";
  ::close(listener);
#else
  GTEST_SKIP() << "abstract socket addresses exist only on Linux";
#endif
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
