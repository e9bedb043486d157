#pragma once

namespace mivet {

// Hands memory that was freed after a large message back to the operating
// system, so that a long-running process returns close to its idle size.
// The macOS allocator does this by itself for large blocks; the GNU C
// library keeps freed heap memory unless asked.
void returnFreedMemoryToSystem();

}  // namespace mivet
