// Helpers shared by the frame operations: where a frame's value entries
// start, the header of a frame's function, and popping a frame.
#pragma once

#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"

namespace vke {

// Frame word 21 of an inline function whose header lies at data-stack byte
// offset b is kInlineHeaderBase - b / 2.
inline constexpr int32_t kInlineHeaderBase = -2;

// Word index of the first value entry above frame f's fixed part.
inline uint32_t FrameEntriesStart(EngineContext* ctx, int32_t f) {
  return static_cast<uint32_t>(f) + FrameFixedWords(FrameWords(ctx, f));
}
// The function block of a frame: its header, where it lies and the end of
// the area that holds it.
struct FrameFunction {
  FunctionHeader header;
  const uint8_t* block = nullptr;
  const uint8_t* end = nullptr;
};
// False when frame f has no function block.
bool FindFrameFunction(EngineContext* ctx, int32_t f, FrameFunction* out);
// Pops the current frame: frees its variable blocks, drops its entries but
// the top `keep` (as many as there are), which move down to where the frame
// began, and makes the previous frame current.
void LeaveFrame(EngineContext* ctx, int32_t keep);

}  // namespace vke
