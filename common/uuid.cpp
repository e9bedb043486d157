#include "uuid.h"

#include <unistd.h>
#include <uuid/uuid.h>
#ifdef __APPLE__
#include <sys/random.h>  // getentropy
#endif

#include <array>
#include <cstddef>
#include <cstring>

namespace mivet {

namespace {

std::string canonicalUpperCase(const uuid_t bytes) {
  char text[37];
  uuid_unparse_upper(bytes, text);
  return std::string(text, 36);
}

// getentropy hands out at most 256 bytes per call.
struct RandomPool {
  std::array<unsigned char, 256> bytes;
  std::size_t used = bytes.size();
};

}  // namespace

std::string newUpperCaseUUID() {
  thread_local RandomPool pool;
  uuid_t bytes;
  if (pool.used + sizeof bytes > pool.bytes.size()) {
    if (getentropy(pool.bytes.data(), pool.bytes.size()) != 0) {
      uuid_generate_random(bytes);
      return canonicalUpperCase(bytes);
    }
    pool.used = 0;
  }
  std::memcpy(bytes, pool.bytes.data() + pool.used, sizeof bytes);
  pool.used += sizeof bytes;
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return canonicalUpperCase(bytes);
}

}  // namespace mivet
