// The generation of compiled code: a count that changes whenever the code at
// an address in any engine may have become other code: in the code area a
// compilation, a block reserved or removed, the function table extended, an
// image loaded, an engine created or reset, the area grown; on the data
// stack, code set up to run there (evaluated text, an inline function, code
// run as a function) and a switch of threads, which changes the stacks.
// Forms decoded from the code and kept beside it are trusted without
// reading the code again only while the generation they were decoded in
// lasts.
#pragma once

#include <atomic>
#include <cstdint>

namespace vke {

inline std::atomic<uint32_t> gCodeGeneration{1};

inline uint32_t CodeGeneration() {
  return gCodeGeneration.load(std::memory_order_relaxed);
}

// Whoever writes code into a code area other than through the engine's own
// operations calls this too.
inline void NoteCodeChanged() {
  gCodeGeneration.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace vke
