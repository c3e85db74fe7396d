// Setting up the runtime's block and engine, shared by the runtime and the
// packing tool.
#include "app/runtime_context.hpp"

#include "app/figure_pointer.hpp"
#include "app/runtime_native_table.hpp"

namespace vke {

namespace {

constexpr uint32_t kHostWord = 0;
constexpr uint32_t kNewlineCrLf = 2;
constexpr char kTextEncodingUtf8 = 'u';
// The runtime's handle of its program instance; there is none here.
constexpr const char* kInstanceHandleName = "winInstanceHandle";

}  // namespace

ErrCode CreateRuntimeContext(KVContextBlock** slot, void* memory, uint32_t size) {
  if (ErrCode e = InitKVContextBlock(slot, memory, size, kHostWord, kNewlineCrLf)) return e;
  KVContextBlock* block = *slot;
  // The run-time table in front of the static tables.
  if (ErrCode e = RegisterRuntimeNativeTable(block->Engine())) {
    *slot = nullptr;
    return e;
  }
  SetEngineTextEncoding(block, kTextEncodingUtf8);
  // Highlighting starts on, as the window's preference does, so that the
  // tool's pictures are the window's.
  SetInteractiveHighlight(block, 1);
  ErrCode e = AddEngineReservedName(block, kInstanceHandleName, 0);
  if (e) *slot = nullptr;
  return e;
}

}  // namespace vke
