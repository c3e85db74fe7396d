// Memory pages: their size, and exchanging runs of them by remapping.
#include "platform/memory_pages.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#ifndef MREMAP_DONTUNMAP
#define MREMAP_DONTUNMAP 4
#endif

namespace vke {

namespace {

// Moves the pages of [from, from + bytes) to `to`, leaving `from` mapped
// with fresh pages; false, nothing moved, when the system refuses.
bool MovePagesOver(void* from, void* to, size_t bytes) {
  return ::mremap(from, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP, to) !=
         MAP_FAILED;
}

// Puts the pages set aside back over `to` (which stays mapped throughout),
// by copying when they cannot be moved, and gives their place back.
void ReturnAside(void* aside, void* to, size_t bytes) {
  if (::mremap(aside, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, to) != MAP_FAILED) return;
  std::memcpy(to, aside, bytes);
  ::munmap(aside, bytes);
}

}  // namespace

size_t MemoryPageBytes() {
  static const size_t bytes = [] {
    const long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(page) : size_t{4096};
  }();
  return bytes;
}

bool SwapMemoryPages(void* a, void* b, size_t bytes) {
  const size_t page = MemoryPageBytes();
  const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  if (bytes == 0 || (x | y | bytes) % page != 0 || (x < y + bytes && y < x + bytes)) return false;
  // a's pages go aside, b's over a, then the ones aside over b. Each move
  // leaves its source mapped (DONTUNMAP), so that no step leaves a hole in
  // the address space that another mapping could take.
  // The place aside is reserved first: a move to a place the system picks
  // is refused with DONTUNMAP by some kernels.
  void* aside =
      ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (aside == MAP_FAILED) return false;
  if (!MovePagesOver(a, aside, bytes)) {
    ::munmap(aside, bytes);
    return false;
  }
  if (!MovePagesOver(b, a, bytes)) {
    ReturnAside(aside, a, bytes);
    return false;
  }
  ReturnAside(aside, b, bytes);
  return true;
}

}  // namespace vke
