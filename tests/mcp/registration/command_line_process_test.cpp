// Runs the built mivet-mcp with a temporary HOME and checks what it prints,
// its exit status and every file it leaves, byte for byte.
#include "common/json_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/sleeping_in.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <toml++/toml.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

namespace mivet::mcp {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string usage =
    "mivet-mcp \u2014 Model Context Protocol (MCP) stdio server for Mivet\n"
    "\n"
    "Usage:\n"
    "  mivet-mcp                             Run stdio MCP server (used by Claude Code, Codex, "
    "Antigravity)\n"
    "  mivet-mcp --socket <path>             Connect to a custom Mivet IPC Unix socket\n"
    "  mivet-mcp --install [target]          Register Mivet MCP in: all (default), claude, codex, "
    "antigravity\n"
    "  mivet-mcp --uninstall [target]        Remove Mivet MCP from: all (default), claude, codex, "
    "antigravity\n"
    "  mivet-mcp --status                    Print connection status JSON for Claude Code, Codex, "
    "Antigravity\n";

// The user that the home belongs to when the tests run as root, as under sudo.
constexpr uid_t userId = 4321;
constexpr gid_t userGroup = 4322;

// A copy of the program that any user may run: run as root on a user's
// home, it goes on as that user, who may not reach the build folder.
const std::string& programAnyoneCanRun() {
  static TempDir folder;
  static const std::string program = [] {
    fs::permissions(folder.path(), fs::perms(0755));
    std::string copy = folder.file("mivet-mcp");
    fs::copy_file(MIVET_MCP_BINARY, copy);
    return copy;
  }();
  return program;
}

struct Home {
  TempDir dir;
  std::string h = fs::canonical(dir.path());
  std::string claude = h + "/.claude.json";
  std::string codex = h + "/.codex/config.toml";
  std::string gemini = h + "/.gemini/config/mcp_config.json";
  std::string stable = h + "/Library/Application Support/Mivet/bin/mivet-mcp";

  ProcessResult run(std::vector<std::string> arguments, std::vector<std::string> env = {},
                    const std::string& program = MIVET_MCP_BINARY) const {
    arguments.insert(arguments.begin(), program);
    env.insert(env.begin(), "HOME=" + h);
    return test::runProcess(arguments, "", {.env = env, .workingDirectory = h});
  }
  // Runs a shell command line with HOME set, e.g. to start the program by its bare name.
  ProcessResult shell(const std::string& script, const std::string& path = "",
                      const std::string& program = MIVET_MCP_BINARY) const {
    std::vector<std::string> env{"HOME=" + h};
    if (!path.empty()) env.push_back("PATH=" + path);
    return test::runProcess({"/bin/sh", "-c", script, program}, "",
                            {.env = env, .workingDirectory = h, .defaultSignals = true});
  }
  // As root, gives the home and everything in it to the user, as it is under
  // sudo; otherwise it is already the running user's.
  void giveToUser(uid_t user = userId, gid_t group = userGroup) const {
    if (::geteuid() != 0) return;
    ASSERT_EQ(::lchown(h.c_str(), user, group), 0);
    for (const auto& entry : fs::recursive_directory_iterator(h)) {
      ASSERT_EQ(::lchown(entry.path().c_str(), user, group), 0) << entry.path();
    }
  }
  // Every entry under the home directory with its content or link target.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(h)) {
      const std::string& path = entry.path().native();
      if (entry.is_symlink()) {
        entries[path] = "-> " + fs::read_symlink(path).native();
      } else if (entry.is_regular_file()) {
        entries[path] = readFile(path);
      } else {
        entries[path] = "<dir>";
      }
    }
    return entries;
  }
};

std::string jsonWithEntry(const std::string& command) {
  return "{\n  \"mcpServers\" : {\n    \"mivet\" : {\n      \"args\" : [],\n      \"command\" : "
         "\"" +
         command + "\"\n    }\n  }\n}\n";
}

std::string codexWithEntry(const std::string& command) {
  return "[mcp_servers.mivet]\ncommand = \"" + command + "\"\nargs = []\n";
}

void expectToml(const std::string& path) {
  try {
    std::ignore = toml::parse(readFile(path));
  } catch (const toml::parse_error& error) {
    ADD_FAILURE() << path << ": " << error.description();
  }
}

TEST(CommandLine, HelpAnywhereWinsAndChangesNothing) {
  Home home;
  for (std::vector<std::string> arguments : {std::vector<std::string>{"--help"},
                                             {"--install", "-h"},
                                             {"--status", "--help"},
                                             {"x", "--uninstall", "-h", "--install"}}) {
    ProcessResult result = home.run(arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, usage);
    EXPECT_EQ(result.err, "");
  }
  EXPECT_TRUE(home.snapshot().empty());
}

TEST(CommandLine, InstallAllThenStatusThenUninstallAll) {
  Home home;
  ProcessResult install = home.run({"--install"});
  EXPECT_EQ(install.exitStatus, 0);
  EXPECT_EQ(install.err, "");
  EXPECT_EQ(install.out, "Installed Mivet MCP -> Claude Code (" + home.claude +
                             ")\nInstalled Mivet MCP -> Codex (" + home.codex +
                             ")\nInstalled Mivet MCP -> Antigravity (" + home.gemini + ")\n");
  EXPECT_EQ(readFile(home.claude), jsonWithEntry(home.stable));
  EXPECT_EQ(readFile(home.gemini), jsonWithEntry(home.stable));
  EXPECT_EQ(readFile(home.codex), codexWithEntry(home.stable));
  EXPECT_TRUE(parseJsonDocument(readFile(home.claude)));
  expectToml(home.codex);
  ASSERT_TRUE(fs::is_symlink(home.stable));
  EXPECT_EQ(fs::read_symlink(home.stable), fs::canonical(MIVET_MCP_BINARY));

  auto before = home.snapshot();
  ProcessResult status = home.run({"--status", "--install", "claude"});
  EXPECT_EQ(status.exitStatus, 0);
  EXPECT_EQ(home.run({"--status"}).out, status.out);
  EXPECT_EQ(home.snapshot(), before);
  auto document = parseJsonDocument(status.out);
  ASSERT_TRUE(document) << status.out;
  for (const char* client : {"antigravity", "claude", "codex"}) {
    EXPECT_TRUE(objectMember(document->root, client)->at_key("connected").get_bool().value());
  }
  EXPECT_NE(status.out.find("\"command\" : \"\\/"), std::string::npos) << status.out;
  EXPECT_EQ(status.out.back(), '\n');

  ProcessResult uninstall = home.run({"--uninstall"});
  EXPECT_EQ(uninstall.exitStatus, 0);
  EXPECT_EQ(uninstall.out, "Removed Mivet MCP (all)\n");
  EXPECT_EQ(readFile(home.claude), "{\n  \"mcpServers\" : {}\n}\n");
  EXPECT_EQ(readFile(home.gemini), "{\n  \"mcpServers\" : {}\n}\n");
  EXPECT_TRUE(fs::exists(home.codex));
  EXPECT_EQ(readFile(home.codex), "");
  EXPECT_TRUE(fs::is_symlink(home.stable));  // the uninstall leaves the link
}

TEST(CommandLine, StatusIsTheSameTwiceAndWritesNothing) {
  Home home;
  ProcessResult first = home.run({"--status"});
  ProcessResult second = home.run({"--status"});
  EXPECT_EQ(first.exitStatus, 0);
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.out, second.out);
  EXPECT_TRUE(home.snapshot().empty());  // not even the stable link
  EXPECT_TRUE(parseJsonDocument(first.out));
}

TEST(CommandLine, TargetRuleAndOptionPrecedence) {
  struct Case {
    std::vector<std::string> arguments;
    bool claude, codex, gemini;
  };
  for (const Case& c : std::vector<Case>{
           {{"--uninstall", "codex", "--install"}, true, true, true},
           {{"--install", "--socket", "/tmp/x.sock"}, true, true, true},
           {{"--install", "CLAUDE"}, true, false, false},
           {{"--install", "cOdEx"}, false, true, false},
           {{"--install", "AGY"}, false, false, true},
           {{"--install", "claude", "--install", "codex"}, true, false, false},
       }) {
    Home home;
    ProcessResult result = home.run(c.arguments);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(fs::exists(home.claude), c.claude) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(fs::exists(home.codex), c.codex) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(fs::exists(home.gemini), c.gemini) << c.arguments[0] << " " << c.arguments[1];
  }
}

TEST(CommandLine, TargetThatNamesNoClient) {
  Home home;
  ProcessResult install = home.run({"--install", "Gemini"});
  EXPECT_EQ(install.exitStatus, 0);
  EXPECT_EQ(install.out, "");
  EXPECT_FALSE(fs::exists(home.claude));
  EXPECT_FALSE(fs::exists(home.h + "/.codex"));
  EXPECT_FALSE(fs::exists(home.h + "/.gemini"));
  EXPECT_TRUE(fs::is_symlink(home.stable));

  writeFile(home.claude, jsonWithEntry("/x"));
  auto before = home.snapshot();
  ProcessResult uninstall = home.run({"--uninstall", "ÉCLAIR"});
  EXPECT_EQ(uninstall.exitStatus, 0);
  EXPECT_EQ(uninstall.out, "Removed Mivet MCP (éclair)\n");
  EXPECT_EQ(home.snapshot(), before);
}

TEST(CommandLine, OptionInAnotherCaseStartsTheServer) {
  Home home;
  ProcessResult result = home.run({"--Install", "--STATUS", "-H"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "");  // the server read an empty input and ended
  EXPECT_TRUE(home.snapshot().empty());
}

TEST(CommandLine, FailedInstallReportsOneLineAndKeepsEarlierFiles) {
  Home home;
  writeFile(home.h + "/.codex", "a plain file");
  ProcessResult result = home.run({"--install"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with("Install failed: ")) << result.err;
  EXPECT_NE(result.err.find(home.h + "/.codex"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1);
  EXPECT_EQ(readFile(home.claude), jsonWithEntry(home.stable));  // written before the failure
  EXPECT_FALSE(fs::exists(home.h + "/.gemini"));                 // never reached
  EXPECT_EQ(readFile(home.h + "/.codex"), "a plain file");
}

TEST(CommandLine, UnusableConfigurationFileIsLeftAsItWas) {
  Home home;
  std::string commented = "// my settings\n{\"theme\": \"dark\"}\n";
  writeFile(home.claude, commented);
  ProcessResult result = home.run({"--install"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_TRUE(result.err.starts_with("Install failed: " + home.claude)) << result.err;
  EXPECT_EQ(readFile(home.claude), commented);
  EXPECT_FALSE(fs::exists(home.h + "/.codex"));

  std::string inlineTable = "mcp_servers = { mivet = { command = \"/old\" } }\n";
  writeFile(home.codex, inlineTable);
  result = home.run({"--install", "codex"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("an inline table"), std::string::npos) << result.err;
  EXPECT_EQ(readFile(home.codex), inlineTable);
}

// A file size limit of zero makes every write fail, also for root.
TEST(CommandLine, FailedUninstallStopsAtTheFirstFile) {
  Home home;
  writeFile(home.claude, jsonWithEntry("/x"));
  writeFile(home.codex, codexWithEntry("/x"));
  auto before = home.snapshot();
  ProcessResult result = home.shell("trap '' XFSZ; ulimit -f 0; exec \"$0\" --uninstall");
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with("Uninstall failed: cannot write " + home.claude))
      << result.err;
  EXPECT_EQ(home.snapshot(), before);
}

// Claude Code takes the directory "<file>.lock" around its own rewrites of
// its file; both commands wait while it is held and go on once it is gone.
// Stopped by a signal meanwhile, they end by it and leave no copy of the
// file (which may hold secrets) behind, nor take that lock away.
TEST(CommandLine, ClaudeCodesLockIsWaitedFor) {
  for (std::string option : {"--install", "--uninstall"}) {
    for (int signal : {0, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
      Home home;
      const std::string before = option == "--install" ? "{}\n" : jsonWithEntry("/x");
      writeFile(home.claude, before);
      ::chmod(home.claude.c_str(), 0600);
      const std::string lock = home.claude + ".lock";
      fs::create_directory(lock);
      test::ProcessOptions options = test::withEnvironment({"HOME=" + home.h});
      options.defaultSignals = true;
      test::ChildProcess command(
          {"/bin/sh", "-c", "ulimit -c 0; exec \"$0\" \"$@\"", MIVET_MCP_BINARY, option, "claude"},
          options);
      const std::string copy = test::entryOnceThere(home.h, "..claude.json.tmp-");
      ASSERT_NE(copy, "") << option;
      ASSERT_TRUE(
          test::waitUntilSleepingIn(test::BlockingCall::sleep, command.pid(), command.pid()));
      EXPECT_EQ(readFile(home.claude), before) << option << " wrote while the lock was held";
      signal != 0 ? ::kill(command.pid(), signal) : ::rmdir(lock.c_str());
      ProcessResult result = command.wait();
      EXPECT_FALSE(fs::exists(copy)) << option << signal;
      EXPECT_EQ(result.termSignal, signal) << option << result.err;
      EXPECT_EQ(result.exitStatus, signal == 0 ? 0 : -1) << option << signal;
      EXPECT_EQ(readFile(home.claude) == before, signal != 0) << option << signal;
      EXPECT_EQ(fs::exists(lock), signal != 0) << option << signal;
    }
  }
}

// As root, on a user's home, the program acts as that user.
TEST(CommandLine, ReadOnlyDirectoryFailsTheInstall) {
  Home home;
  fs::create_directories(home.h + "/.codex");
  home.giveToUser();
  fs::permissions(home.h + "/.codex", fs::perms::owner_read | fs::perms::owner_exec);
  ProcessResult result = home.run({"--install", "codex"}, {}, programAnyoneCanRun());
  fs::permissions(home.h + "/.codex", fs::perms::owner_all);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_TRUE(result.err.starts_with("Install failed: cannot write " + home.codex)) << result.err;
  EXPECT_FALSE(fs::exists(home.codex));
}

// A command that the home's owner cannot start, or a stable command that
// cannot be made, would be registered as a command that does not run; the
// install fails before any configuration file, saying what happened.
TEST(CommandLine, InstallWhoseCommandCannotBeStartedOrMadeTouchesNoConfigurationFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the home to another user";
  Home home;
  TempDir rootsOnly;  // 0700
  fs::copy_file(MIVET_MCP_BINARY, rootsOnly.file("mivet-mcp"));
  const std::string bin = fs::path(home.stable).parent_path();
  fs::create_directories(bin);
  home.giveToUser();
  ASSERT_EQ(::chown(bin.c_str(), 0, 0), 0);
  fs::permissions(bin, fs::perms(0555));
  auto before = home.snapshot();
  for (const auto& [program, expected] : std::map<std::string, std::string>{
           {rootsOnly.file("mivet-mcp"),
            "cannot enter the folder " + fs::canonical(rootsOnly.path()).native()},
           {programAnyoneCanRun(), "making a link in " + bin + " failed: Permission denied"}}) {
    ProcessResult result = home.run({"--install"}, {}, program);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("Install failed: ")) << result.err;
    EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
    EXPECT_EQ(home.snapshot(), before);
  }
}

TEST(CommandLine, EveryAntigravityFileIsReportedInOrder) {
  Home home;
  std::string providers = home.h + "/.t3/userdata/providers/antigravity";
  fs::create_directories(home.h + "/.gemini/antigravity");
  fs::create_directories(providers + "/b/config");
  fs::create_directories(providers + "/C/config");  // before "b" by code point
  ProcessResult result = home.run({"--install", "antigravity"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, "Installed Mivet MCP -> Antigravity (" + home.gemini +
                            ")\nInstalled Mivet MCP -> Antigravity (" + home.h +
                            "/.gemini/antigravity/mcp_config.json)\n"
                            "Installed Mivet MCP -> Antigravity (" +
                            providers +
                            "/C/config/mcp_config.json)\n"
                            "Installed Mivet MCP -> Antigravity (" +
                            providers + "/b/config/mcp_config.json)\n");
  EXPECT_EQ(readFile(providers + "/b/config/mcp_config.json"), jsonWithEntry(home.stable));
}

struct stat lstatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// The program placed at the stable command path (or in a folder there) and
// started from there must survive its own install, however the home
// directory is spelled. A folder there cannot be the command: that install
// fails, and registers nothing.
TEST(CommandLine, ProgramAtTheStablePathNeverRemovesItself) {
  enum Layout {
    homeWithFinalSlash,
    homeThroughLink,
    stableDirectoryLinkedToProgram,
    programInAFolderAtTheStablePath
  };
  for (Layout layout : {homeWithFinalSlash, homeThroughLink, stableDirectoryLinkedToProgram,
                        programInAFolderAtTheStablePath}) {
    Home home;
    std::string program = home.stable, homeValue = home.h + "/";
    if (layout == homeThroughLink) {
      fs::create_directory_symlink(home.h, home.h + "/linked-home");
      homeValue = home.h + "/linked-home";
    } else if (layout == stableDirectoryLinkedToProgram) {
      program = home.h + "/opt/mivet-mcp";
      fs::create_directories(fs::path(home.stable).parent_path().parent_path());
      fs::create_directory_symlink(home.h + "/opt", fs::path(home.stable).parent_path());
      homeValue = home.h;
    } else if (layout == programInAFolderAtTheStablePath) {
      program = home.stable + "/mivet-mcp";
    }
    fs::create_directories(fs::path(program).parent_path());
    fs::copy_file(MIVET_MCP_BINARY, program);
    ino_t inode = lstatOf(program).st_ino;

    ProcessResult result =
        test::runProcess({program, "--install", "claude"}, "",
                         {.env = {"HOME=" + homeValue}, .workingDirectory = "/"});
    struct stat after = lstatOf(program);
    EXPECT_TRUE(S_ISREG(after.st_mode)) << layout;
    EXPECT_EQ(after.st_ino, inode) << layout;
    std::string stableAsSpelled = homeValue + "/Library/Application Support/Mivet/bin/mivet-mcp";
    if (layout == programInAFolderAtTheStablePath) {
      EXPECT_EQ(result.exitStatus, 1);
      EXPECT_NE(result.err.find("holds this program"), std::string::npos) << result.err;
      EXPECT_FALSE(fs::exists(home.claude));
      continue;
    }
    EXPECT_EQ(result.exitStatus, 0) << layout << " " << result.err;
    EXPECT_EQ(readFile(homeValue + "/.claude.json"), jsonWithEntry(stableAsSpelled)) << layout;
  }
}

// Past the file size limit the write fails like any other: the user's file
// stays whole, and no partial temporary copy of it is left.
TEST(CommandLine, WriteBeyondTheFileSizeLimitFailsCleanly) {
  const std::pair<std::string, std::string> rows[] = {{"--install", "Install failed: "},
                                                      {"--uninstall", "Uninstall failed: "}};
  for (const auto& [option, failed] : rows) {
    Home home;
    const std::string secret = "{\"oauthAccount\": \"secret\", \"mcpServers\": {\"mivet\": {}}}\n";
    writeFile(home.claude, secret);
    ::chmod(home.claude.c_str(), 0600);
    home.giveToUser();
    auto before = home.snapshot();
    ProcessResult result = home.shell("ulimit -c 0; ulimit -f 0; exec \"$0\" " + option + " claude",
                                      "", programAnyoneCanRun());
    EXPECT_EQ(result.exitStatus, 1) << option;
    EXPECT_TRUE(result.err.starts_with(failed + "cannot write " + home.claude)) << result.err;
    EXPECT_NE(result.err.find(std::strerror(EFBIG)), std::string::npos) << result.err;
    auto after = home.snapshot();
    std::erase_if(after,
                  [&](const auto& entry) { return entry.first.starts_with(home.h + "/Library"); });
    EXPECT_EQ(after, before) << option;
    EXPECT_EQ(lstatOf(home.claude).st_mode & 07777, 0600u) << option;
  }
}

// Reachable, but writable only by root and root's group (sudo keeps group 0).
struct RootsThings {
  TempDir dir;
  RootsThings() {
    fs::permissions(dir.path(), fs::perms(0775));
    writeFile(dir.file("settings.json"), jsonWithEntry("/x"));
    ::chmod(dir.file("settings.json").c_str(), 0664);
    fs::create_directories(dir.file("folder"));
    fs::permissions(dir.file("folder"), fs::perms(0775));
  }
  // Every entry with its content, owner and mode.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
      struct stat info = lstatOf(entry.path());
      entries[entry.path()] = std::to_string(info.st_uid) + ":" + std::to_string(info.st_mode) +
                              (entry.is_regular_file() ? readFile(entry.path()) : "");
    }
    return entries;
  }
};

// sudo keeps HOME on macOS (and sudo -E CLAUDE_CONFIG_DIR and CODEX_HOME),
// and starts the command with root's group 0. Links the user planted to
// root's files and folders are followed with the user's rights and groups
// only, so root's things stay as they are, and the command fails as it
// would for the user: one with an entry in the user database or without.
TEST(CommandLine, AsRootOnAUsersHomeLinksToRootsThingsLeadNowhere) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act on another user's home";
  const passwd* listed = ::getpwnam("nobody");
  if (listed == nullptr) GTEST_SKIP() << "no user nobody";
  enum Reached { throughHome, throughRootsLinkToHome, throughClaudeConfigDir, throughCodexHome };
  struct Case {
    std::string command, client, link, target, failure;
    Reached reached = throughHome;
    bool listedUser = false;
  };
  for (const Case& c : std::vector<Case>{
           {"--install", "claude", "/.claude.json", "settings.json", "Install failed: "},
           {"--install", "claude", "/.claude.json", "settings.json",
            "Install failed: ", throughRootsLinkToHome},
           {"--uninstall", "claude", "/.claude.json", "settings.json",
            "Uninstall failed: ", throughClaudeConfigDir},
           {"--install", "codex", "/.codex", "folder", "Install failed: ", throughCodexHome},
           {"--install", "antigravity", "/.gemini/config", "folder",
            "Install failed: ", throughHome, true},
       }) {
    Home home;
    RootsThings root;
    fs::create_directories(fs::path(home.h + c.link).parent_path());
    fs::create_symlink(root.dir.file(c.target), home.h + c.link);
    c.listedUser ? home.giveToUser(listed->pw_uid, listed->pw_gid) : home.giveToUser();
    std::vector<std::string> env{"HOME=" + home.h};
    if (c.reached == throughRootsLinkToHome) {
      fs::create_directory_symlink(home.h, root.dir.file("home"));
      env = {"HOME=" + root.dir.file("home")};
    } else if (c.reached == throughClaudeConfigDir) {
      env = {"HOME=" + root.dir.path(), "CLAUDE_CONFIG_DIR=" + home.h};
    } else if (c.reached == throughCodexHome) {
      env = {"HOME=" + root.dir.path(), "CODEX_HOME=" + home.h + "/.codex"};
    }
    auto rootsBefore = root.snapshot();
    ProcessResult result = test::runProcess({"/usr/bin/perl", "-e", "$) = '0 0'; exec @ARGV",
                                             programAnyoneCanRun(), c.command, c.client},
                                            "", {.env = env, .workingDirectory = home.h});
    EXPECT_EQ(result.exitStatus, 1) << c.command << " " << c.client << " " << c.reached;
    EXPECT_TRUE(result.err.starts_with(c.failure)) << result.err;
    EXPECT_NE(result.err.find(std::strerror(EACCES)), std::string::npos) << result.err;
    EXPECT_EQ(root.snapshot(), rootsBefore) << c.command << " " << c.client << " " << c.reached;
    for (const auto& [path, content] : home.snapshot()) {
      EXPECT_EQ(path.find(".tmp-"), std::string::npos) << path;
      EXPECT_FALSE(path.ends_with(".lock")) << path;
    }
  }
}

// What root may read but the user may not counts as not registered.
TEST(CommandLine, AsRootOnAUsersHomeStatusReadsWhatTheUserCould) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act on another user's home";
  for (bool usersHome : {false, true}) {
    Home home;
    TempDir root;
    fs::permissions(root.path(), fs::perms(0755));
    writeFile(root.file("claude.json"), jsonWithEntry("/x"));
    writeFile(root.file("codex/config.toml"), codexWithEntry("/x"));
    ::chmod(root.file("claude.json").c_str(), 0600);
    fs::permissions(root.file("codex"), fs::perms(0700));
    fs::create_symlink(root.file("claude.json"), home.claude);
    fs::create_symlink(root.file("codex"), home.h + "/.codex");
    if (usersHome) home.giveToUser();
    ProcessResult status = home.run({"--status"}, {}, programAnyoneCanRun());
    EXPECT_EQ(status.exitStatus, 0);
    auto document = parseJsonDocument(status.out);
    ASSERT_TRUE(document) << status.out;
    for (const char* client : {"claude", "codex"}) {
      EXPECT_EQ(objectMember(document->root, client)->at_key("connected").get_bool().value(),
                !usersHome)
          << client;
    }
  }
}

// Whatever the install makes in a user's home is the user's, as if the user
// had run it; a file of a third user, which the user may not write, is left
// as it is and fails the install; a folder of a third user in CODEX_HOME is
// refused.
TEST(CommandLine, AsRootOnAUsersHomeEverythingMadeIsTheUsers) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  Home home;
  writeFile(home.claude, "{}");
  ::chmod(home.claude.c_str(), 0600);
  home.giveToUser();
  ProcessResult result = home.run({"--install"}, {}, programAnyoneCanRun());
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  ASSERT_TRUE(fs::is_symlink(home.stable));
  for (const auto& [path, content] : home.snapshot()) {
    struct stat info = lstatOf(path);
    EXPECT_EQ(info.st_uid, userId) << path;
    EXPECT_EQ(info.st_gid, userGroup) << path;
  }
  EXPECT_EQ(lstatOf(home.claude).st_mode & 07777, 0600u);

  writeFile(home.codex, "[other]\n");
  ::chmod(home.codex.c_str(), 0644);
  ASSERT_EQ(::chown(home.codex.c_str(), 4323, 4324), 0);
  result = home.run({"--install", "codex"}, {}, programAnyoneCanRun());
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_TRUE(result.err.starts_with("Install failed: cannot write " + home.codex)) << result.err;
  EXPECT_EQ(readFile(home.codex), "[other]\n");
  EXPECT_EQ(lstatOf(home.codex).st_uid, 4323u);
  EXPECT_EQ(lstatOf(home.codex).st_gid, 4324u);

  ASSERT_EQ(::chown((home.h + "/.codex").c_str(), 4323, 4324), 0);
  result = home.run({"--install"}, {"CODEX_HOME=" + home.h + "/.codex"}, programAnyoneCanRun());
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find(" 4321 but CODEX_HOME " + home.h + "/.codex to uid 4323"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(readFile(home.codex), "[other]\n");
}

// When root cannot become the home's owner, it does not go on as root.
TEST(CommandLine, AsRootACommandThatCannotActAsTheHomesOwnerStops) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act on another user's home";
#ifndef __linux__
  GTEST_SKIP() << "needs a Linux user namespace in which the user cannot be taken on";
#else
  Home home;
  home.giveToUser();
  // In a user namespace that maps root alone, the home's owner shows as the
  // overflow uid, and the supplementary groups cannot be set.
  const std::string unshare = "/usr/bin/unshare";
  if (!fs::exists(unshare) ||
      test::runProcess({unshare, "-U", "-r", "/bin/true"}, "").exitStatus != 0) {
    GTEST_SKIP() << "no user namespaces here (unshare -U -r)";
  }
  for (const char* command : {"--install", "--status"}) {
    ProcessResult result =
        test::runProcess({unshare, "-U", "-r", programAnyoneCanRun(), command}, "",
                         {.env = {"HOME=" + home.h}, .workingDirectory = home.h});
    EXPECT_EQ(result.exitStatus, 1) << command;
    EXPECT_EQ(result.out, "") << command;
    EXPECT_NE(result.err.find("the home directory " + home.h), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("(uid 65534)"), std::string::npos) << result.err;
  }
  EXPECT_TRUE(home.snapshot().empty());
#endif
}

// A FIFO or a device where a configuration file belongs is neither read
// (the process would block, or read forever) nor replaced. `special` is the
// FIFO or device node, at the client's file `file` or linked from there.
void expectNeitherReadNorReplaced(const Home& home, const std::string& client,
                                  const std::string& file, const std::string& special,
                                  mode_t type) {
  std::string status = home.run({"--status"}).out;
  auto document = parseJsonDocument(status);
  ASSERT_TRUE(document) << status;
  EXPECT_FALSE(objectMember(document->root, client)->at_key("connected").get_bool().value());

  ProcessResult install = home.run({"--install", client});
  EXPECT_EQ(install.exitStatus, 1) << file;
  EXPECT_TRUE(install.err.starts_with("Install failed: ")) << install.err;
  EXPECT_EQ(home.run({"--uninstall", client}).exitStatus, 0) << file;
  EXPECT_EQ(lstatOf(special).st_mode & S_IFMT, type) << file;
}

struct ClientFile {
  std::string client, file;
};

TEST(CommandLine, FifosAreNeitherReadNorReplaced) {
  for (const auto& [client, file] : std::vector<ClientFile>{
           {"claude", "/.claude.json"},
           {"codex", "/.codex/config.toml"},
           {"antigravity", "/.gemini/config/mcp_config.json"},
       }) {
    Home home;
    std::string path = home.h + file;
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    expectNeitherReadNorReplaced(home, client, file, path, S_IFIFO);
  }
}

// Makes at `node` a device node like `device`; false when that cannot be done.
bool makeNodeLike(const char* device, const std::string& node) {
  struct stat original {};
  return ::stat(device, &original) == 0 &&
         ::mknod(node.c_str(), S_IFCHR | 0666, original.st_rdev) == 0;
}

// A node like /dev/null or /dev/zero, reached through a link.
TEST(CommandLine, DevicesAreNeitherReadNorReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make device nodes";
  if (TempDir probe; !makeNodeLike("/dev/null", probe.file("null"))) {
    GTEST_SKIP() << "device nodes cannot be made here";
  }
  struct Case {
    ClientFile where;
    const char* device;
  };
  for (const auto& [where, device] : std::vector<Case>{
           {{"claude", "/.claude.json"}, "/dev/null"},
           {{"codex", "/.codex/config.toml"}, "/dev/zero"},
       }) {
    Home home;
    std::string path = home.h + where.file, node = home.h + "/device-node";
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(makeNodeLike(device, node)) << device;
    fs::create_symlink(node, path);
    expectNeitherReadNorReplaced(home, where.client, where.file, node, S_IFCHR);
  }
}

// Whatever argument 0 a launcher passes (empty, a name that leads nowhere,
// another program's path, the bare name with an older copy first on PATH),
// the program registers itself.
TEST(CommandLine, RegisteredCommandIsTheProgramThatRan) {
  for (const char* invocation : {"", "no-such-mivet-mcp", "/bin/true", "mivet-mcp"}) {
    Home home;
    writeFile(home.h + "/older/mivet-mcp", "#!/bin/sh\n");
    fs::permissions(home.h + "/older/mivet-mcp", fs::perms(0755));
    ProcessResult result =
        test::runProcess({"/usr/bin/perl", "-e", "exec {$ARGV[0]} @ARGV[1..$#ARGV]",
                          MIVET_MCP_BINARY, invocation, "--install", "claude"},
                         "",
                         {.env = {"HOME=" + home.h, "PATH=" + home.h + "/older:/usr/bin:/bin"},
                          .workingDirectory = "/"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(readFile(home.claude), jsonWithEntry(home.stable));
    ASSERT_TRUE(fs::is_symlink(home.stable)) << invocation;
    EXPECT_EQ(fs::read_symlink(home.stable), fs::canonical(MIVET_MCP_BINARY));
  }
}

// Codex reads $CODEX_HOME/config.toml and Claude Code reads
// $CLAUDE_CONFIG_DIR/.claude.json (its older .config.json when that exists).
TEST(CommandLine, ClientFoldersFromTheEnvironmentAreUsedThroughout) {
  for (bool legacyClaudeFile : {false, true}) {
    Home home;
    std::string codexHome = home.h + "/codex-home", claudeDir = home.h + "/claude-dir";
    std::string claude = claudeDir + (legacyClaudeFile ? "/.config.json" : "/.claude.json");
    if (legacyClaudeFile) writeFile(claude, "{}");
    std::vector<std::string> env{"CODEX_HOME=" + codexHome, "CLAUDE_CONFIG_DIR=" + claudeDir};
    ProcessResult install = home.run({"--install"}, env);
    EXPECT_EQ(install.exitStatus, 0) << install.err;
    EXPECT_TRUE(install.out.starts_with("Installed Mivet MCP -> Claude Code (" + claude +
                                        ")\nInstalled Mivet MCP -> Codex (" + codexHome +
                                        "/config.toml)\n"))
        << install.out;
    EXPECT_EQ(readFile(claude), jsonWithEntry(home.stable));
    EXPECT_EQ(readFile(codexHome + "/config.toml"), codexWithEntry(home.stable));
    EXPECT_FALSE(fs::exists(home.claude));
    EXPECT_FALSE(fs::exists(home.codex));

    auto document = parseJsonDocument(home.run({"--status"}, env).out);
    ASSERT_TRUE(document);
    for (const char* client : {"claude", "codex"}) {
      EXPECT_TRUE(objectMember(document->root, client)->at_key("connected").get_bool().value());
    }
    EXPECT_EQ(home.run({"--uninstall"}, env).exitStatus, 0);
    EXPECT_EQ(readFile(codexHome + "/config.toml"), "");
  }
  // Set but empty: the home directory's files, as without them; the older
  // file name counts only in CLAUDE_CONFIG_DIR.
  Home home;
  writeFile(home.h + "/.config.json", "{}");
  EXPECT_EQ(home.run({"--install"}, {"CODEX_HOME=", "CLAUDE_CONFIG_DIR="}).exitStatus, 0);
  EXPECT_EQ(readFile(home.claude), jsonWithEntry(home.stable));
  EXPECT_EQ(readFile(home.h + "/.config.json"), "{}");
  EXPECT_EQ(readFile(home.codex), codexWithEntry(home.stable));
}

}  // namespace
}  // namespace mivet::mcp
