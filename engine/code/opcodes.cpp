// The queries over the instruction set: the descriptor table's self-check,
// instruction lengths, call counts, opcode names and the predicates the
// compiler asks about code ranges.
#include "engine/code/opcodes.hpp"

#include "engine/builtin_hooks.hpp"
#include "engine/code/operators.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"

namespace vke {

namespace {

bool ValidDescriptor(const OpcodeDescriptor& d, int32_t index) {
  if (d.opcode != index) return false;
  if (d.kind < kOperNone || d.kind > kOperText16 || d.count < 0) return false;
  if ((d.kind == kOperNone) != (d.count == 0)) return false;
  return d.callCode == kNoCall || (d.callCode >= 0 && d.callCode <= 0xFF);
}

const OpcodeDescriptor* DescriptorOf(int32_t opcode) {
  return opcode >= 0 && opcode < kOpcodeCount ? &kOpcodeTable[opcode] : nullptr;
}

// Copies a name of at most 32 characters; 32 when it has no terminator.
ErrCode CopyName(char name[32], const char* text, int32_t capacity) {
  int32_t n = 0;
  while (n < capacity && n < 32 && text[n]) {
    name[n] = text[n];
    n++;
  }
  if (n == 32) return 32;
  name[n] = 0;
  return kOk;
}

}  // namespace

ErrCode CheckOpcodeTable(const OpcodeDescriptor* table, int32_t rows) {
  if (rows != kOpcodeCount) return kErrInit;
  for (int32_t i = 0; i < rows; i++)
    if (!ValidDescriptor(table[i], i)) return kErrInit;
  return kOk;
}

ErrCode CheckOpcodeTable() {
  return CheckOpcodeTable(kOpcodeTable, kOpcodeCount);
}

int32_t GetInstructionLength(const int16_t* code) {
  int32_t op = code[0];
  if (op >= kFirstNativeOpcode) return kNativeCallLength;
  const OpcodeDescriptor* d = DescriptorOf(op);
  if (!d) return 1;
  switch (d->kind) {
    case kOperWords:
      return d->count + 1;
    case kOperInt32:
    case kOperUInt32:
      return 2 * d->count + 1;
    case kOperInt64:
    case kOperDoubles:
      return 4 * d->count + 1;
    case kOperText8:
      return 2 + (OperandLength(code + 1) + 1) / 2;
    case kOperText16:
      return 2 + OperandLength(code + 1);
    default:
      return 1;
  }
}

int32_t InstructionLengthWithin(const int16_t* code, int32_t p, int32_t end) {
  if (p < 0 || p >= end) return 0;
  const OpcodeDescriptor* d = DescriptorOf(code[p]);
  if (d && (d->kind == kOperText8 || d->kind == kOperText16) && p + 1 >= end) return 0;
  int32_t n = GetInstructionLength(code + p);
  return n <= end - p ? n : 0;
}

ErrCode GetOpcodeInfo(const int16_t* code, int32_t* inputs, int32_t* outputs) {
  int32_t op = code[0];
  int32_t in, out;
  if (op >= kFirstNativeOpcode) {
    in = code[1];
    out = code[2];
  } else {
    const OpcodeDescriptor* d = DescriptorOf(op);
    if (!d || d->callCode == kNoCall) return kErrBadArg;
    int32_t word = 1;
    in = (d->callCode >> 4) & 15;
    if (in == kCountInOperand) in = code[word++];
    out = d->callCode & 15;
    if (out == kCountInOperand) out = code[word];
  }
  if (inputs) *inputs = in;
  if (outputs) *outputs = out;
  return kOk;
}

ErrCode GetOpcodeName(EngineContext* ctx, int32_t opcode, bool asOperator, char name[32]) {
  name[0] = 0;
  if (opcode >= kFirstNativeOpcode) {
    if (!ctx) return kOk;
    const NativeFunctionRecord* r = GetNativeRecordByIndex(ctx, opcode - kFirstNativeOpcode);
    return r ? CopyName(name, r->name, sizeof r->name) : kOk;
  }
  const char* builtin = ctx ? GetBuiltinDispatch(ctx, opcode).name : nullptr;
  if (!builtin) return kOk;
  const OperatorRecord* o = asOperator ? FindOperatorOfBuiltin(builtin) : nullptr;
  return o ? CopyName(name, o->chars, sizeof o->chars) : CopyName(name, builtin, 32);
}

bool IsMultiOutputCall(int32_t opcode) {
  if (opcode >= kFirstNativeOpcode || opcode == kOpCallFn) return true;
  const OpcodeDescriptor* d = DescriptorOf(opcode);
  return d && d->callCode != kNoCall && (d->callCode & 15) >= 2;
}

bool IsConstantCondition(const int16_t* code, int32_t length, bool truth) {
  if (length == 1) return code[0] == (truth ? kOpPushOne : kOpPushZero);
  if (length == 2) return code[0] == (truth ? kOpTrue : kOpFalse) && code[1] == 0;
  return false;
}

bool IsSideEffectFree(const int16_t* code, int32_t length) {
  for (int32_t p = 0; p < length;) {
    const OpcodeDescriptor* d = DescriptorOf(code[p]);
    int32_t n = InstructionLengthWithin(code, p, length);
    if (!d || !(d->flags & kOpFlagSafe) || n == 0) return false;
    // Inf(n) and its kind refuse bad size arguments; only the bare forms
    // are safe.
    if (d->callCode != kNoCall && ((d->callCode >> 4) & 15) == kCountInOperand && code[p + 1] != 0)
      return false;
    p += n;
  }
  return true;
}

}  // namespace vke
