// The block heap and call frames: allocation of engine blocks, frames of
// compiled-function calls on the descriptor stack, unwinding, and the abort
// poll.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Block header bits.
inline constexpr uint32_t kBlockSizeMask = 0x3FFFFFFF;
inline constexpr uint32_t kBlockInUse = 1u << 30;
inline constexpr uint32_t kBlockKept = 1u << 31;

// Call frame header words.
enum FrameWord : int {
  kFwReturnKind = 0,
  kFwReturnOffset = 1,
  kFwBackLink = 2,
  kFwCatchKind = 3,
  kFwCatchOffset = 4,
  kFwCatchKeep1 = 5,
  kFwCatchKeep2 = 6,
  kFwDebugKind = 7,
  kFwDebugOffset = 8,
  kFwCaller1 = 9,
  kFwCaller2 = 10,
  kFwVarCount = 11,
  kFwResultsWanted = 12,
  kFwInputsGiven = 13,
  kFwResultsDelivered = 14,
  kFwNameCapacity = 15,
  kFwContinue = 16,
  kFwEntry = 17,
  kFwPosition = 18,
  kFwFunction = 19,
  kFwStopRequest = 20,
  kFwHeader = 21,
  kFrameHeaderWords = 22,
};
inline constexpr int kFrameNameBytes = 32;
inline constexpr uint32_t kBaseFrameKind = 6;
inline constexpr int kBaseFrameNames = 16;

ErrCode AllocEngineBlock(EngineContext* ctx, uint32_t units, int32_t* index);
void FreeEngineBlock(EngineContext* ctx, int32_t index);
uint8_t* BlockData(EngineContext* ctx, int32_t index);
uint32_t BlockUnits(EngineContext* ctx, int32_t index);
void MoveBlockHeap(uint8_t* oldBase, uint32_t oldSize, uint8_t* newBase, uint32_t newSize);

ErrCode UnwindCallFrames(EngineContext* ctx, int32_t level);
bool IsInFunctionContext(EngineContext* ctx);
ErrCode GetStackLevel(EngineContext* ctx, int32_t* level);
void MarkFrameAsEntry(EngineContext* ctx);
const char* GetVariableName(EngineContext* ctx, int32_t i);

struct SavedCodePointer {
  uint32_t kind;
  uint32_t offset;
};
void SaveCodePointer(EngineContext* ctx, SavedCodePointer* record);
void RestoreCodePointer(EngineContext* ctx, const SavedCodePointer* record);

bool PollAbortRequest(EngineContext* ctx);
ErrCode CheckBreakAtSliceEnd(EngineContext* ctx);

// Word w of the frame starting at word index f.
inline uint32_t* FrameWords(EngineContext* ctx, int32_t f) {
  return ctx->DescWords() + f;
}

// Header, variable slots and held names: 22 + 9 x capacity when the frame
// holds its names, else 22 + the variable count.
inline uint32_t FrameFixedWords(const uint32_t* f) {
  uint32_t cap = f[kFwNameCapacity];
  return kFrameHeaderWords + (cap ? cap + cap * (kFrameNameBytes / 4) : f[kFwVarCount]);
}

}  // namespace vke
