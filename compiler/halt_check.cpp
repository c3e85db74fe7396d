// Whether the code position stands before a halt with nothing in between
// that could act: dialogs that run a text use it to tell a finished text
// from one that still has work to do.
#include <cstring>

#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/frames/calls.hpp"
#include "engine/loop/loop.hpp"
#include "engine/registry/registry.hpp"

namespace vke {
namespace {

// The opcodes that may stand before the halt: constants, pushes, pure
// builtins that cannot fail in a way that matters, line markers and the
// like. Each row is an inclusive range.
constexpr int16_t kHarmlessOpcodes[][2] = {
    {0, 7},     {10, 24},   {27, 28},   {32, 33},   {60, 64},   {73, 73},   {77, 79},
    {83, 83},   {119, 119}, {127, 128}, {191, 191}, {204, 212}, {233, 235}, {238, 238},
    {274, 274}, {285, 288}, {296, 296}, {303, 305}, {322, 322}, {329, 329}, {332, 332},
};

bool IsHarmlessOpcode(int32_t op) {
  for (const auto& range : kHarmlessOpcodes)
    if (op >= range[0] && op <= range[1]) return true;
  return false;
}

// A native call is harmless when its record is tied to a value type of a
// switchable library, or when a harmless builtin has its name.
bool IsHarmlessNative(EngineContext* ctx, int32_t op) {
  const NativeFunctionRecord* record = GetNativeRecordByIndex(ctx, op - kFirstNativeOpcode);
  if (!record) return false;
  if (record->kind < 0) {
    // The library name follows the first character of its header's name.
    const char* library = GetRecordLibraryName(ctx, record);
    if (library && library[-1] == '!') return true;
  }
  const BuiltinRecord* builtin =
      FindBuiltinRecord(record->name, static_cast<int32_t>(strnlen(record->name, 32)));
  return builtin && IsHarmlessOpcode(static_cast<int32_t>(builtin->id));
}

}  // namespace

bool StandsBeforeHalt(EngineContext* ctx) {
  const int16_t* code = GetCodePointer(ctx);
  if (!code) return false;
  const uint64_t words = CodePointerRoom(ctx) / 2;
  const int32_t end = words > INT32_MAX ? INT32_MAX : static_cast<int32_t>(words);
  for (int32_t p = 0;;) {
    const int32_t length = InstructionLengthWithin(code, p, end);
    if (length == 0) return false;  // the code ends without a halt
    const int32_t op = code[p];
    if (op == kOpHalt) {
      ctx->halted = 1;
      return true;
    }
    if (op >= kFirstNativeOpcode ? !IsHarmlessNative(ctx, op) : !IsHarmlessOpcode(op)) return false;
    p += length;
  }
}

}  // namespace vke
