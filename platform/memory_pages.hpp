// The operating system's memory pages: their size, and exchanging the
// contents of two runs of whole pages by moving their page table entries.
#pragma once

#include <cstddef>

namespace vke {

// The size of a memory page in bytes.
size_t MemoryPageBytes();

// Exchanges the contents of [a, a + bytes) and [b, b + bytes): two runs of
// whole pages of private anonymous memory that do not overlap. The pages
// change places, nothing is copied or touched, so that bytes written once
// arrive in the other place without faulting in fresh pages there. False,
// both runs unchanged, when the system refuses (an old kernel, too many
// mappings, a run across mappings of different kinds).
bool SwapMemoryPages(void* a, void* b, size_t bytes);

}  // namespace vke
