// Jump threading over a compiled body. The code keeps its length: jumps only
// get new offsets, and rewritten instructions are padded with nops.
#include "compiler/optimize.hpp"
#include "engine/code/opcodes.hpp"

namespace vke {

namespace {

// The jumps whose landing place is looked at.
bool IsThreadedJump(int32_t op) {
  return HasJumpOffset(op) && op != kOpOrJump && op != kOpAndJump;
}

// True when a line marker at position p can be passed over: behind any
// padding (nop, skip) comes another marker or a jump, so no instruction that
// could fail runs under the marker's line.
bool MarkerMayBePassed(const int16_t* code, int32_t length, int32_t p) {
  int32_t q = p + 3;
  while (q < length && (code[q] == kOpNop || code[q] == kOpSkip))
    q += GetInstructionLength(code + q);
  return q < length && (code[q] == kOpLine || code[q] == kOpJump);
}

// Adds delta to the offset word at p + 1 when the sum still fits.
bool AddToOffset(int16_t* code, int32_t p, int32_t delta) {
  int32_t w0 = code[p + 1] + delta;
  if (w0 < INT16_MIN || w0 > INT16_MAX) return false;
  code[p + 1] = static_cast<int16_t>(w0);
  return true;
}

// An empty range loop: forrangenext at p, storevar v, then only nop and line
// up to its backward jump at T - 2; T holds the one-word instruction that
// ends the loop. Rewritten to forrangelast, storevar v, jump past T.
bool RewriteEmptyRangeLoop(int16_t* code, int32_t length, int32_t p, int32_t t) {
  if (code[p + 2] != kOpStoreVar || t - 2 < p + 4 || t >= length) return false;
  if (code[t - 2] != kOpJump || JumpTarget(t - 2, code[t - 1]) > p) return false;
  if (GetInstructionLength(code + t) != 1) return false;
  int32_t q = p + 4;
  while (q < t - 2) {
    if (code[q] != kOpNop && code[q] != kOpLine) return false;
    q += GetInstructionLength(code + q);
  }
  if (q != t - 2) return false;
  int16_t v = code[p + 3];
  int16_t w0 = code[p + 1];
  code[p] = kOpForRangeLast;
  code[p + 1] = kOpStoreVar;
  code[p + 2] = v;
  code[p + 3] = kOpJump;
  code[p + 4] = static_cast<int16_t>(w0 - 2);
  for (int32_t i = p + 5; i <= t; i++) code[i] = kOpNop;
  return true;
}

// Applies the first rule that fits the jump at p; true when it changed code.
bool ThreadJump(int16_t* code, int32_t length, int32_t p, bool aggressive) {
  int32_t op = code[p];
  int32_t t = JumpTarget(p, code[p + 1]);
  if (t < 0 || t >= length) return false;
  switch (code[t]) {
    case kOpJump:
      if (t + 1 < length && code[t + 1] != kSelfJumpOffset)
        return AddToOffset(code, p, code[t + 1] + 2);
      break;
    case kOpNop:
      return AddToOffset(code, p, 1);
    case kOpSkip:
      return AddToOffset(code, p, 2);
    case kOpLine:
      if (MarkerMayBePassed(code, length, t)) return AddToOffset(code, p, 3);
      break;
    case kOpReturn:
      if (op != kOpJump) break;
      code[p] = kOpReturn;
      code[p + 1] = kOpNop;
      return true;
    default:
      break;
  }
  return aggressive && op == kOpForRangeNext && RewriteEmptyRangeLoop(code, length, p, t);
}

}  // namespace

int32_t OptimizeJumps(int16_t* code, int32_t length, bool aggressive) {
  // Every pass that changes something moves a jump strictly on; the bound
  // only stops malformed code from cycling.
  const int32_t maxPasses = length + 2;
  int32_t passes = 0;
  bool changed = true;
  while (changed && passes < maxPasses) {
    changed = false;
    passes++;
    for (int32_t p = 0, n; (n = InstructionLengthWithin(code, p, length)) != 0; p += n) {
      if (!IsThreadedJump(code[p]) || !ThreadJump(code, length, p, aggressive)) continue;
      changed = true;
      // A rewritten instruction may be shorter than the jump it replaced.
      if ((n = InstructionLengthWithin(code, p, length)) == 0) break;
    }
  }
  return passes;
}

}  // namespace vke
