// Loaded with LD_PRELOAD by registration_race.py --without-swap (Linux
// only): renameat2 fails as it does on a file system that cannot swap two
// files, so that mivet-mcp commits its edits by its rename fallback.
#include <cerrno>

#ifdef __linux__
extern "C" int renameat2(int, const char*, int, const char*, unsigned int) {
  errno = EINVAL;
  return -1;
}
#endif
