// Constant folding of an expression's code: adjacent instructions whose
// result is known at compile time are replaced by one instruction. Passes
// copy the code down in place until one changes nothing.
//
// Before the first jump the code shrinks: nop padding is dropped and every
// double literal is realigned to an 8-byte address. From the first jump on
// instructions keep their lengths and their distance to the source (made a
// multiple of 4 words there), so jump offsets and double alignment hold. A
// rule never swallows an instruction that a jump lands on.
#include <cmath>
#include <iterator>

#include "builtins/builtin.hpp"
#include "compiler/optimize.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxFoldWords = 5;

// The instruction a rule leaves in place of span source words.
struct Fold {
  int32_t span = 0;
  int32_t length = 0;
  int16_t words[kMaxFoldWords] = {};
};

bool IsDoubleLiteral(int32_t op) {
  return op >= 0 && op < kOpcodeCount && kOpcodeTable[op].kind == kOperDoubles;
}

bool IsAligned8(const int16_t* p) {
  return (reinterpret_cast<uintptr_t>(p) & 7) == 0;
}

// The integer push of each cast builtin, in opcode order int8 ... uint64.
constexpr int16_t kIntegerPushOfCast[] = {kOpPushInt8,       kOpPushInt16,      kOpPushInt32Short,
                                          kOpPushUInt8,      kOpPushUInt16,     kOpPushUInt32Short,
                                          kOpPushInt64Short, kOpPushUInt64Short};
static_assert(kOpUInt64 - kOpInt8 + 1 == std::size(kIntegerPushOfCast));

bool IsIntegerCast(int32_t op) {
  return op >= kOpInt8 && op <= kOpUInt64;
}

// Builtins whose value on a double constant is taken from the builtin.
bool IsEvaluatedOnConstant(int32_t op) {
  return op == kOpAbs || op == kOpExp || op == kOpSin || op == kOpCos || op == kOpTan ||
         op == kOpAtan;
}

// Whole instructions, aligned doubles, jumps landing between the first jump
// and the end: the shape the passes rely on.
ErrCode CheckFoldRange(const int16_t* code, int32_t start, int32_t end) {
  if (start < 0 || start > end) return kErrBadArg;
  int32_t firstJump = end;
  for (int32_t p = start, n; p < end; p += n) {
    n = InstructionLengthWithin(code, p, end);
    if (n == 0 || code[p] < 0) return kErrBadArg;
    if (IsDoubleLiteral(code[p]) && !IsAligned8(code + p + 1)) return kErrBadArg;
    if (HasJumpOffset(code[p]) && firstJump == end) firstJump = p;
  }
  for (int32_t p = start; p < end; p += GetInstructionLength(code + p)) {
    if (!HasJumpOffset(code[p])) continue;
    int32_t t = JumpTarget(p, code[p + 1]);
    if (t < firstJump || t > end) return kErrBadArg;
  }
  return kOk;
}

// True when a jump in code[from, to), which lies shift words below its
// source position, lands strictly inside the source span (lo, hi).
bool LandsInside(const int16_t* code, int32_t from, int32_t to, int32_t shift, int32_t lo,
                 int32_t hi) {
  for (int32_t p = from; p < to; p += GetInstructionLength(code + p)) {
    if (!HasJumpOffset(code[p])) continue;
    int32_t t = JumpTarget(p, code[p + 1]) + shift;
    if (t > lo && t < hi) return true;
  }
  return false;
}

int32_t EndOf(const int16_t* code, int32_t p) {
  return p + GetInstructionLength(code + p);
}

// The position of the first instruction after the one at p that is not a
// nop; end when there is none.
int32_t NextInstruction(const int16_t* code, int32_t p, int32_t end) {
  p = EndOf(code, p);
  while (p < end && code[p] == kOpNop) p++;
  return p;
}

// The value the builtin at opcode gives for the double x, evaluated on the
// stack; false when the builtin fails or gives anything but a real double.
bool EvaluateOnConstant(EngineContext* ctx, int16_t opcode, double x, double* y) {
  if (!ctx) return false;
  const uint32_t top = ctx->descTop;
  bool ok = PushRealScalar(ctx, x) == kOk && CallBuiltin(ctx, &opcode) == kOk;
  if (ok) {
    NumericView v = ViewNumeric(ctx, 0);
    ok = v.cls == ValueClass::kDouble && !v.complex && v.shape.count == 1;
    if (ok) *y = Load<double>(v.elements);
  }
  if (ctx->descTop > top) Drop(ctx, static_cast<int32_t>((ctx->descTop - top) / 3));
  return ok;
}

void SetWord(Fold* f, int16_t op, int32_t span) {
  f->span = span;
  f->length = 1;
  f->words[0] = op;
}
// A one-operand instruction; false when the operand does not fit 16 bits.
bool SetSmall(Fold* f, int16_t op, int32_t value, int32_t span) {
  if (value < INT16_MIN || value > INT16_MAX) return false;
  SetWord(f, op, span);
  f->length = 2;
  f->words[1] = static_cast<int16_t>(value);
  return true;
}
void SetDouble(Fold* f, int16_t op, double x, int32_t span) {
  SetWord(f, op, span);
  f->length = 5;
  StoreOperandDouble(f->words + 1, x);
}

// Rules on a small integer k followed by the instructions at b and c.
bool FoldSmallInt(const int16_t* code, int32_t a, int32_t b, int32_t c, int32_t end, Fold* f) {
  int32_t k = code[a + 1];
  int32_t span = EndOf(code, b) - a;
  switch (code[b]) {
    case kOpSqrt:
      if (k != -1) return false;
      SetWord(f, kOpImagUnit, span);
      return true;
    case kOpUplus:
    case kOpDouble:
      return SetSmall(f, kOpPushSmallInt, k, span);
    case kOpUminus:
      return SetSmall(f, kOpPushSmallInt, -k, span);
    case kOpAbs:
      return SetSmall(f, kOpPushSmallInt, k < 0 ? -k : k, span);
    case kOpSign:
      return SetSmall(f, kOpPushSmallInt, (k > 0) - (k < 0), span);
    case kOpImagUnit:
      if (c >= end || code[c] != kOpMtimes) return false;
      return SetSmall(f, kOpPushSmallImag, k, EndOf(code, c) - a);
    default:
      return false;
  }
}

// Rules on a double literal x followed by the instruction at b.
bool FoldDouble(EngineContext* ctx, const int16_t* code, int32_t a, int32_t b, Fold* f) {
  double x = OperandDouble(code + a + 1);
  int32_t span = EndOf(code, b) - a;
  int16_t op = code[b];
  switch (op) {
    case kOpUminus:
      SetDouble(f, kOpPushDouble, -x, span);
      return true;
    case kOpConj:
    case kOpReal:
      SetDouble(f, kOpPushDouble, x, span);
      return true;
    case kOpImag:
      SetWord(f, kOpPushZero, span);
      return true;
    case kOpSign:
      if (std::isnan(x)) return false;
      if (x > 0) SetWord(f, kOpPushOne, span);
      if (x == 0) SetWord(f, kOpPushZero, span);
      return x >= 0 || SetSmall(f, kOpPushSmallInt, -1, span);
    default: {
      double y;
      if (!IsEvaluatedOnConstant(op) || !EvaluateOnConstant(ctx, op, x, &y)) return false;
      SetDouble(f, kOpPushDouble, y, span);
      return true;
    }
  }
}

// Finds the rule that applies at a; fills the replacement.
bool MatchFold(EngineContext* ctx, const int16_t* code, int32_t a, int32_t end, bool frozen,
               Fold* f) {
  int32_t b = NextInstruction(code, a, end);
  if (b >= end) return false;
  int32_t c = NextInstruction(code, b, end);
  int32_t span = EndOf(code, b) - a;
  int16_t op = code[a], next = code[b];
  switch (op) {
    case kOpUminus:
    case kOpUplus:
      // A unary plus after either sign adds nothing. Any other pair stays:
      // the first sign is the one that fails (on a cell, as 'uminus').
      if (next != kOpUplus) return false;
      SetWord(f, op, span);
      return true;
    case kOpPushOne:
    case kOpPushZero:
      if (op == kOpPushOne && next == kOpUminus) return SetSmall(f, kOpPushSmallInt, -1, span);
      if (!IsIntegerCast(next)) return false;
      return SetSmall(f, kIntegerPushOfCast[next - kOpInt8], op == kOpPushOne, span);
    case kOpPushSmallInt:
      return FoldSmallInt(code, a, b, c, end, f);
    case kOpImagUnit:
      if (next != kOpPushSmallInt || c >= end || code[c] != kOpMtimes) return false;
      return SetSmall(f, kOpPushSmallImag, code[b + 1], EndOf(code, c) - a);
    case kOpPushSmallImag:
      return next == kOpUminus && SetSmall(f, kOpPushSmallImag, -code[a + 1], span);
    case kOpPushDouble:
      return FoldDouble(ctx, code, a, b, f);
    case kOpPushImag:
      if (frozen || next != kOpUminus) return false;
      SetDouble(f, kOpPushImag, -OperandDouble(code + a + 1), span);
      return true;
    default:
      return false;
  }
}

// Writes an instruction at *w: before the first jump a double literal is
// realigned with nop padding; from it on the instruction is padded with nops
// to the span it replaces.
void Place(int16_t* code, int32_t* w, const int16_t* words, int32_t length, bool frozen,
           int32_t span) {
  if (!frozen && IsDoubleLiteral(words[0]))
    while (!IsAligned8(code + *w + 1)) code[(*w)++] = kOpNop;
  std::memmove(code + *w, words, 2ull * length);
  *w += length;
  if (frozen)
    for (int32_t i = length; i < span; i++) code[(*w)++] = kOpNop;
}

// One pass; true when it changed the code.
bool FoldPass(EngineContext* ctx, int16_t* code, int32_t start, int32_t* end) {
  int32_t r = start, w = start;
  bool frozen = false, folded = false;
  while (r < *end) {
    int32_t op = code[r];
    int32_t n = GetInstructionLength(code + r);
    if (!frozen && op == kOpNop) {
      r++;
      continue;
    }
    if (!frozen && HasJumpOffset(op)) {
      frozen = true;
      while ((r - w) % 4 != 0) code[w++] = kOpNop;
    }
    // Jumps already copied lie r - w words below their source positions.
    Fold f;
    if (MatchFold(ctx, code, r, *end, frozen, &f) &&
        !LandsInside(code, start, w, r - w, r, r + f.span) &&
        !LandsInside(code, r, *end, 0, r, r + f.span)) {
      Place(code, &w, f.words, f.length, frozen, f.span);
      r += f.span;
      folded = true;
    } else {
      Place(code, &w, code + r, n, frozen, n);
      r += n;
    }
  }
  bool shrunk = w != *end;
  *end = w;
  return folded || shrunk;
}

}  // namespace

ErrCode ConstantFoldCode(EngineContext* ctx, int16_t* code, int32_t start, int32_t* end) {
  if (ErrCode e = CheckFoldRange(code, start, *end)) return e;
  while (FoldPass(ctx, code, start, end)) {
  }
  return kOk;
}

}  // namespace vke
