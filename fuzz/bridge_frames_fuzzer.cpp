// Feeds arbitrary bytes to the bridge's frame loop, with no application
// listening. Every frame written back must carry its true length and a JSON
// object, and the loop must end.
#include "MivetBrowserBridge/message_loop.h"
#include "common/json_reader.h"
#include "common/unique_fd.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

mivet::UniqueFd memoryFile(const uint8_t* data, size_t size) {
  mivet::UniqueFd fd(memfd_create("fuzz", 0));
  if (size > 0) std::ignore = ::write(fd.get(), data, size);
  ::lseek(fd.get(), 0, SEEK_SET);
  return fd;
}

std::string contentOf(int fd) {
  std::string out;
  ::lseek(fd, 0, SEEK_SET);
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  return out;
}

void checkFrames(const std::string& output) {
  auto parser = mivet::newJsonParser();
  std::size_t at = 0;
  while (at < output.size()) {
    if (output.size() - at < 4) std::abort();
    std::uint32_t length;
    std::memcpy(&length, output.data() + at, 4);
    at += 4;
    if (output.size() - at < length) std::abort();
    if (!mivet::parseJsonObject(*parser, std::string_view(output).substr(at, length))) std::abort();
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto input = memoryFile(data, size);
  auto output = memoryFile(nullptr, 0);
  mivet::bridge::serveFrames("/nonexistent/mivet-fuzz.sock", input.get(), output.get());
  checkFrames(contentOf(output.get()));
  return 0;
}
