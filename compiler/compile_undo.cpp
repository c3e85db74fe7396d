// Undoing a compilation that failed for want of room: the function table
// and the code fill position as they were at the mark.
#include "compiler/compile_undo.hpp"

#include "engine/code/code_pointers.hpp"
#include "engine/code/function_table.hpp"

namespace vke {

namespace {

uint32_t TableEnd(const EngineContext* ctx) {
  return ctx->funcCap * static_cast<uint32_t>(kEntryWords);
}

}  // namespace

CompileMark MarkCompile(const EngineContext* ctx) {
  return {ctx->funcCount, ctx->codeEnd - TableEnd(ctx)};
}

void UndoCompile(EngineContext* ctx, const CompileMark& mark) {
  const uint32_t fill = TableEnd(ctx) + mark.fillBehindTable;
  if (mark.entries < 1 || mark.entries > ctx->funcCount || fill > ctx->codeEnd) return;
  // New entries go first, the last one first, each giving back its code
  // when it is the last; the rest is given back below.
  while (ctx->funcCount > mark.entries) {
    FunctionTableEntry* last = FunctionEntries(ctx) + ctx->funcCount - 1;
    if (IsFunctionEntry(*last)) {
      PopFunctionScope(ctx);
    } else {
      *last = {};
      ctx->funcCount--;
    }
  }
  // Older entries compiled (or given a library block) since the mark: their
  // code lies behind the fill position the mark kept.
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 1; i < ctx->funcCount; i++)
    if (HoldsCodePosition(entries[i]) && static_cast<uint32_t>(entries[i].code) >= fill)
      entries[i].code = kCodeNotCompiled;
  // Code still running behind the mark (a text's frame does not run from
  // the code area, but a thread might) keeps its place.
  if (fill < ctx->codeEnd && CodePointersReachable(ctx) &&
      !HasCodePointerIn(ctx, 2u * fill, 2u * ctx->codeEnd))
    ctx->codeEnd = fill;
}

}  // namespace vke
