// The runner's memory area: address space reserved once up to a ceiling, of
// which the engine uses a front part that grows in place when a statement
// runs out of room. Pages are backed only once they are touched, so the
// reservation costs nothing until it is used.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/context.hpp"

namespace vke {

class RunnerArea {
 public:
  RunnerArea() = default;
  RunnerArea(const RunnerArea&) = delete;
  RunnerArea& operator=(const RunnerArea&) = delete;
  ~RunnerArea();

  // Reserves `ceiling` bytes (rounded down to whole pages, at most what
  // 32-bit offsets address) and hands out the first `initial` of them
  // (at most the ceiling); false when the address space is not there.
  bool Reserve(uint64_t ceiling, uint32_t initial);
  void* base() const { return base_; }
  uint32_t size() const { return size_; }
  uint32_t ceiling() const { return ceiling_; }
  // Whether the ceiling was given (vke's -m), for the note at the ceiling.
  void SetCeilingGiven(bool given) { ceilingGiven_ = given; }
  bool ceilingGiven() const { return ceilingGiven_; }

  // Grows the engine's part by half (at most to the ceiling) after a
  // failure with `code`, the gain going to the part the code names (the
  // growth modes of MakeContextAbsolute); at the ceiling the area is spread
  // anew, that part taking the room the others hold beyond their use and
  // their start (SpreadAreaAnew). False when nothing could grow.
  bool Grow(EngineContext* ctx, ErrCode code);

 private:
  void* base_ = nullptr;
  uint64_t reserved_ = 0;
  uint32_t size_ = 0;
  uint32_t ceiling_ = 0;
  bool ceilingGiven_ = false;
};

// memmove inside an area that Reserve mapped, with the whole pages the two
// places have in common (when they are apart by whole pages) remapped rather
// than copied: a large heap then moves in the time of its page tables, and
// the place it leaves holds fresh pages.
void MoveAreaBytes(void* to, const void* from, size_t bytes);

// The default ceiling: three quarters of the physical memory, at most what
// 32-bit offsets address.
uint64_t DefaultAreaCeiling();

// A size as "-m" takes it: a whole number of bytes, or of kilobytes,
// megabytes or gigabytes with a K, M or G after it. False for anything else.
bool ParseAreaSize(const char* text, uint64_t* bytes);

// Compiles and runs the text as one command line with the sliced loop (its
// slices going on in place: ExecuteBreakChecked),
// growing the area and running the failing builtin again whenever it runs
// out of room with its operands in place (see SetMemoryRetry). At the ceiling a note goes to
// standard error and that failure takes the engine's error path; growth answers the ones after it.
// A compilation stopped at a limit of the code's form (TakeCodeFormLimit) is reported at once.
// An uncaught failure of another thread (printed by the engine) does not end the text, which runs
// on to its end. The engine's result code; the first failure of another thread when the text itself
// finished.
ErrCode RunGrowing(RunnerArea* area, EngineContext* ctx, const char* text, int32_t length);

}  // namespace vke
