// Entries copied aside and put back: what an entry of a native after a call
// it made keeps (its working values, the call's results), copied to the free
// end of the data stack before it runs, so that failing for lack of room
// with nothing written it puts them back as it found them and returns
// through ReentryUnchanged (engine/memory_retry.hpp).
#pragma once

#include <cstdint>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "engine/variables/indexing.hpp"

namespace vke {

// The copies of some entries; they live as long as the scratch they are
// taken in.
class EntryCopies {
 public:
  explicit EntryCopies(EngineContext* ctx) : ctx_(ctx), scratch_(ctx) {}
  // Copies the `count` entries from the depth down (the deepest first);
  // 3 when the free data stack cannot take them.
  ErrCode Take(int32_t depth, int32_t count);
  // Pushes the copies again, in their order; false when they do not fit.
  bool PushBack();
  // Writes the copies back over the entries from the depth down, in place
  // where they have kept their sizes; false when one cannot be put back.
  bool WriteBack(int32_t depth);

 private:
  EngineContext* ctx_;
  DataScratch scratch_;
  uint32_t at_ = 0;
  int32_t count_ = 0;
};

}  // namespace vke
