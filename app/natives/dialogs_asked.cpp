// The count of dialogs shown to the user, which every dialog native notes
// before it asks: a handler or a call that asked is never run again.
#include "app/natives/app_natives.hpp"
#include "engine/memory_retry.hpp"

namespace vke {

namespace {

uint64_t g_asked = 0;

}  // namespace

void NoteDialogAsked(EngineContext* ctx) {
  ++g_asked;
  MarkOperandsChanged(ctx);
}

uint64_t CountDialogsAsked() {
  return g_asked;
}

}  // namespace vke
