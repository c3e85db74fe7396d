// Taking back what a compilation that ran out of room left in the code area,
// so that the same text compiles cleanly once the area has grown.
#pragma once

#include "engine/context.hpp"

namespace vke {

// The code area as a compilation found it: its function-table entries and
// the fill position behind the table (kept relative to the table's end,
// which moves when the table grows).
struct CompileMark {
  uint32_t entries = 0;
  uint32_t fillBehindTable = 0;
};

CompileMark MarkCompile(const EngineContext* ctx);

// Entries added since the mark are removed, and entries that got code since
// the mark are uncompiled again; the code behind the mark is given back.
// Names stay: ids once given are never reused, and the retry finds them.
void UndoCompile(EngineContext* ctx, const CompileMark& mark);

}  // namespace vke
