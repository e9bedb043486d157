#include "mcp/app_connection/app_launcher.h"

#include "tests/support/child_process.h"
#include "tests/support/fake_app.h"
#include "tests/support/sleeping_in.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>
#include <tuple>

namespace mivet::mcp {
namespace {

using Args = std::vector<std::string>;

TEST(OpenArgumentsTest, RecordedPathThenStandardLocationThenBundleIdentifier) {
  auto existing = [](std::set<std::string> paths) {
    return [paths](const std::string& p) { return paths.count(p) > 0; };
  };
  std::string bundle(mivetBundleIdentifier);
  EXPECT_EQ(openArguments("/Users/u/Apps/Mivet.app\n", existing({"/Users/u/Apps/Mivet.app"})),
            (Args{"-g", "-a", "/Users/u/Apps/Mivet.app"}));
  EXPECT_EQ(openArguments("\u00a0 /x/Mivet.app\u2029\r\n", existing({"/x/Mivet.app"})),
            (Args{"-g", "-a", "/x/Mivet.app"}));
  EXPECT_EQ(openArguments("/gone.app", existing({"/Applications/Mivet.app"})),
            (Args{"-g", "-a", "/Applications/Mivet.app"}));
  EXPECT_EQ(openArguments(" \n\t ", existing({"", "/Applications/Mivet.app"})),
            (Args{"-g", "-a", "/Applications/Mivet.app"}));
  EXPECT_EQ(openArguments(std::nullopt, existing({})), (Args{"-g", "-b", bundle}));
}

// A child process that opens the FIFO at `path` for writing, and so sleeps
// in open(2) until something opens it for reading.
class FifoWriter {
 public:
  explicit FifoWriter(const std::string& path) : pid_(::fork()) {
    if (pid_ == 0) {
      std::ignore = ::open(path.c_str(), O_WRONLY);
      ::_exit(0);
    }
  }
  ~FifoWriter() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  FifoWriter(const FifoWriter&) = delete;
  FifoWriter& operator=(const FifoWriter&) = delete;

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_;
};

// Only a small regular file counts as a recorded path; a FIFO would block
// the launch and a device could be endless, so both count as no file.
TEST(ReadAppPathFileTest, OnlyASmallRegularFileIsRead) {
  test::TempDir dir;
  test::writeFile(dir.file("app_path.txt"), "/Apps/Mivet.app\n");
  EXPECT_EQ(readAppPathFile(dir.file("app_path.txt")), "/Apps/Mivet.app\n");
  test::writeFile(dir.file("at the cap"), std::string(4096, '/'));
  EXPECT_EQ(readAppPathFile(dir.file("at the cap")), std::string(4096, '/'));
  test::writeFile(dir.file("over the cap"), std::string(4097, '/'));
  test::writeFile(dir.file("huge"), std::string(5000, '/'));
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_directories(dir.file("directory"));
  std::vector<std::string> unusable{"over the cap", "huge", "fifo", "directory", "missing"};
  struct stat zero {};
  if (::geteuid() == 0 && ::stat("/dev/zero", &zero) == 0 &&
      ::mknod(dir.file("zero").c_str(), S_IFCHR | 0666, zero.st_rdev) == 0) {
    unusable.push_back("zero");
  }
  FifoWriter writer(dir.file("fifo"));
  ASSERT_TRUE(test::waitUntilSleepingIn(test::BlockingCall::open, writer.pid(), writer.pid()));
  for (const std::string& name : unusable) {
    EXPECT_EQ(readAppPathFile(dir.file(name)), std::nullopt) << name;
  }
  EXPECT_TRUE(test::sleepingIn(test::BlockingCall::open, writer.pid(), writer.pid()))
      << "the FIFO was opened, which let its writer go on";
}

#ifdef __linux__
constexpr bool privateMountNamespaces = true;
#else
constexpr bool privateMountNamespaces = false;
#endif

// Runs the built server with a fake `open` laid over /usr/bin in a private
// mount namespace, so the launch can be watched without touching the system.
class RealLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!privateMountNamespaces) GTEST_SKIP() << "needs Linux's private mount namespaces";
    fakeBin = dir.file("fakebin");
    home = dir.file("home");
    std::filesystem::create_directories(fakeBin);
    std::filesystem::create_directories(appDir());
    test::writeFile(fakeBin + "/open", "#!/bin/sh\necho \"$@\" > " + argsFile() + "\n");
    ::chmod((fakeBin + "/open").c_str(), 0755);
    auto probe =
        test::runProcess({"/usr/bin/unshare", "-m", "sh", "-c", overlay() + " && true"}, "");
    if (probe.exitStatus != 0) GTEST_SKIP() << "no private mount namespace here: " << probe.err;
  }

  std::string overlay() const {
    return "mount -t overlay overlay -o lowerdir=" + fakeBin + ":/usr/bin /usr/bin";
  }
  std::string appDir() const { return home + "/Library/Application Support/Mivet"; }
  std::string argsFile() const { return dir.file("open-args"); }

  // Calls one tool through a server that must launch the application; the
  // fake application comes up once `open` has run.
  std::string callThroughLaunch() {
    test::ChildProcess server(
        {"/usr/bin/unshare", "-m", "sh", "-c", overlay() + " && exec \"$0\"", MIVET_MCP_BINARY},
        test::withEnvironment({"HOME=" + home}));
    server.write(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"ping"}})"
                 "\n");
    for (int i = 0; i < 200 && !std::filesystem::exists(argsFile()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    test::FakeApp app(appDir() + "/ipc.sock", [](const std::string&) {
      return test::lineAnswer(R"({"ok":true,"result":{}})");
    });
    auto line = server.readLine(std::chrono::seconds(10));
    EXPECT_TRUE(line);
    EXPECT_NE(line.value_or("").find(R"("isError":false)"), std::string::npos);
    return test::readFile(argsFile());
  }

  test::TempDir dir;
  std::string fakeBin, home;
};

TEST_F(RealLaunchTest, LaunchesByBundleIdentifierWhenNothingIsInstalled) {
  if (std::filesystem::exists(standardAppLocation)) GTEST_SKIP() << "an application is installed";
  EXPECT_EQ(callThroughLaunch(), "-g -b " + std::string(mivetBundleIdentifier) + "\n");
}

TEST_F(RealLaunchTest, LaunchesTheRecordedBundle) {
  std::string bundle = dir.file("Somewhere/Mivet.app");
  std::filesystem::create_directories(bundle);
  test::writeFile(appDir() + "/app_path.txt", bundle + "\n");
  EXPECT_EQ(callThroughLaunch(), "-g -a " + bundle + "\n");
}

TEST(MissingOpenTest, GivesUpWithTheUserMessage) {
  if (std::filesystem::exists(openCommandPath)) GTEST_SKIP() << "this system has an open command";
  test::TempDir home;
  auto result = test::runProcess(
      {MIVET_MCP_BINARY},
      R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"tasks_list"}})"
      "\n",
      test::withEnvironment({"HOME=" + home.path()}));
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_NE(result.out.find("Mivet.app is not running. Open Mivet on your Mac and try again."),
            std::string::npos);
  EXPECT_NE(result.out.find(R"("isError":true)"), std::string::npos);
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace mivet::mcp
