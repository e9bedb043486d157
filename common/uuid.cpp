#include "uuid.h"

#include <unistd.h>  // getentropy (glibc)
#ifdef __APPLE__
#include <sys/random.h>  // getentropy (macOS), after unistd.h for its size_t
#endif

#include <array>
#include <cstddef>
#include <random>

namespace mivet {

namespace {

// getentropy hands out at most 256 bytes per call.
struct RandomPool {
  std::array<unsigned char, 256> bytes;
  std::size_t used = bytes.size();
};

void refill(RandomPool& pool) {
  if (getentropy(pool.bytes.data(), pool.bytes.size()) != 0) {
    // Only a kernel without the call gets here; the C++ runtime then reads
    // the system's random device its own way.
    std::random_device device;
    for (unsigned char& byte : pool.bytes) byte = static_cast<unsigned char>(device());
  }
  pool.used = 0;
}

std::string canonicalUpperCase(const unsigned char* bytes) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace

std::string newUpperCaseUUID() {
  thread_local RandomPool pool;
  if (pool.used + 16 > pool.bytes.size()) refill(pool);
  unsigned char* bytes = pool.bytes.data() + pool.used;
  pool.used += 16;
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return canonicalUpperCase(bytes);
}

}  // namespace mivet
