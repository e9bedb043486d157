#include "memory_release.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace mivet {

void returnFreedMemoryToSystem() {
#if defined(__GLIBC__)
  std::ignore = ::malloc_trim(0);
#endif
}

}  // namespace mivet
