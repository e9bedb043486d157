#include "mcp/command_line.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace mivet::mcp {
namespace {

// The mode, the target and the socket parseCommandLine reads, in one line.
std::string parsed(const std::vector<std::string>& arguments) {
  static const char* const modes[] = {"serve", "help", "status", "install", "uninstall"};
  CommandLine line = parseCommandLine(arguments);
  return std::string(modes[static_cast<int>(line.mode)]) + " [" + line.target + "] " +
         (line.socket.isDefault ? "default" : line.socket.path);
}

TEST(ParseCommandLine, ReadsTheFirstOptionsAndWhatFollowsThem) {
  setenv("HOME", "/home/u", 1);
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"--install"}, "install [all] default"},  // position 0 counts
      {{"mivet-mcp", "--uninstall", "x", "--install", "CODEX"}, "install [codex] default"},
      // The target: the next argument lower-cased, unless there is none or it begins with "--".
      {{"mivet-mcp", "--uninstall", "--socket", "p"}, "uninstall [all] p"},
      {{"mivet-mcp", "--install", "--"}, "install [all] default"},
      {{"mivet-mcp", "--install", "ClAuDe"}, "install [claude] default"},
      {{"mivet-mcp", "--install", "-h2"}, "install [-h2] default"},
      {{"mivet-mcp", "--install", ""}, "install [] default"},
      {{"mivet-mcp", "--install", "/Some/Path"}, "install [/some/path] default"},
      // The socket: the argument after the first "--socket", verbatim.
      {{"mivet-mcp", "--socket", "/a.sock", "--socket", "/b.sock"}, "serve [] /a.sock"},
      {{"mivet-mcp", "--socket", "-x"}, "serve [] -x"},
      {{"mivet-mcp", "--socket", ""}, "serve [] "},
      {{"mivet-mcp", "--socket"}, "serve [] default"},
      {{"mivet-mcp", "--socket=/x"}, "serve [] default"},
      {{"mivet-mcp", "--Socket", "/x"}, "serve [] default"},
  };
  for (const auto& [arguments, expected] : rows) EXPECT_EQ(parsed(arguments), expected);
  EXPECT_EQ(parseCommandLine({"mivet-mcp"}).socket.path,
            "/home/u/Library/Application Support/Mivet/ipc.sock");
}

}  // namespace
}  // namespace mivet::mcp
