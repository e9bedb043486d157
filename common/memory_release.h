#pragma once

namespace mivet {

// Hands memory that was freed after a large message back to the operating
// system, so that a long-running process returns close to its idle size.
// The macOS allocator does this by itself for large blocks. The GNU C
// library gives back a block it mapped on its own, but once it has freed one,
// it serves blocks up to that size (32 MiB at most) from its heap, whose freed
// memory it keeps unless asked.
void returnFreedMemoryToSystem();

}  // namespace mivet
