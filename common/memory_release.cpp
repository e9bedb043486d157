#include "memory_release.h"

// Included first for what it defines besides malloc: __GLIBC__, which the
// test below needs and which only a C library header brings in.
#include <stdlib.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <tuple>

namespace mivet {

void returnFreedMemoryToSystem() {
#if defined(__GLIBC__)
  std::ignore = ::malloc_trim(0);
#endif
}

}  // namespace mivet
