// The undo buffer as the image writer stores it: the two records laid out
// for the loader, made from a compacted copy so that the block is not
// changed.
#pragma once

#include <vector>

#include "engine/base.hpp"

namespace vke {

struct UndoImage {
  std::vector<uint8_t> head;  // header and set area: UndoHeadBytes
  std::vector<uint8_t> heap;  // live blocks and one empty free block: UndoHeapUnits x 8
  uint32_t capacity;          // the buffer's size
};

void MakeUndoImage(const void* buffer, UndoImage* out);

}  // namespace vke
