#include "common/json_reader.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <future>
#include <vector>

namespace mivet::bridge {
namespace {

const std::string manifestFile = "share/mivet/native-messaging-hosts/com.mivet.browser_bridge.json";

// Installs the bridge's component of this build under `prefix`, run from `workingDirectory`.
test::ProcessResult installBridge(const std::string& prefix, const std::string& workingDirectory) {
  test::ProcessOptions options;
  options.workingDirectory = workingDirectory;
  return test::runProcess({MIVET_CMAKE_COMMAND, "--install", MIVET_BUILD_DIR, "--prefix", prefix,
                           "--component", "mivet-browser-bridge"},
                          "", options);
}

// Checks the installed manifest under `prefix` (an absolute path).
void expectManifestFor(const std::string& prefix) {
  auto manifest = parseJsonDocument(test::readFile(prefix + "/" + manifestFile));
  ASSERT_TRUE(manifest.has_value()) << "not a JSON object";
  auto root = manifest->root;
  EXPECT_EQ(stringMember(root, "name"), "com.mivet.browser_bridge");
  EXPECT_EQ(stringMember(root, "type"), "stdio");
  EXPECT_FALSE(stringMember(root, "description").value_or("").empty());

  const std::string path(stringMember(root, "path").value_or(""));
  EXPECT_EQ(path, prefix + "/bin/mivet-browser-bridge");
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(::access(path.c_str(), X_OK), 0) << path;

  simdjson::dom::array origins;
  ASSERT_EQ(root["allowed_origins"].get_array().get(origins), simdjson::SUCCESS);
  const std::string extensionId = MIVET_EXTENSION_ID;
  if (extensionId.empty()) {
    EXPECT_EQ(origins.size(), 0u);
  } else {
    ASSERT_EQ(origins.size(), 1u);
    EXPECT_EQ(origins.at(0).get_string().value(), "chrome-extension://" + extensionId + "/");
  }
}

TEST(BridgeManifest, InstalledManifestNamesTheInstalledBridge) {
  test::TempDir dir;
  const std::string prefix = dir.file("usr local");
  auto result = installBridge(prefix, dir.path());
  ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
  expectManifestFor(prefix);
}

TEST(BridgeManifest, PathIsAbsoluteForARelativePrefixAndEscapedForJson) {
  test::TempDir dir;
  auto result = installBridge("odd \"dir", dir.path());
  ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
  expectManifestFor(dir.file("odd \"dir"));
}

TEST(BridgeManifest, ConcurrentInstallsOfOneTreeToDifferentPrefixesAllSucceed) {
  test::TempDir dir;
  std::vector<std::future<test::ProcessResult>> installs;
  for (int i = 0; i < 6; ++i) {
    installs.push_back(std::async(std::launch::async, [&dir, i] {
      return installBridge(dir.file("prefix" + std::to_string(i)), dir.path());
    }));
  }
  for (int i = 0; i < 6; ++i) {
    auto result = installs[static_cast<std::size_t>(i)].get();
    EXPECT_EQ(result.exitStatus, 0) << "install " << i << ": " << result.out << result.err;
    expectManifestFor(dir.file("prefix" + std::to_string(i)));
  }
}

}  // namespace
}  // namespace mivet::bridge
