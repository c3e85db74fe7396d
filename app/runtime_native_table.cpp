// The run-time native table built from app/runtime_natives.def, its hooks of
// the standard descriptors, the application object's natives and the
// stand-in of the natives whose subsystem this runtime does not have yet.
#include "app/runtime_native_table.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/natives/app_files.hpp"
#include "app/natives/file_dialogs.hpp"
#include "app/natives/launch_url.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/threads/threads.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "serial/serial_devices.hpp"

namespace vke {

namespace {

struct StdSink {
  StdOutputSink function = nullptr;
  uintptr_t user = 0;
};

StdSink g_stdSink;

// A piece of held text: its descriptor, the id of the thread that wrote it
// (0 for thread 0), whether a drop keeps it, and its bytes.
struct HeldPiece {
  int32_t fd;
  uint32_t thread;
  bool kept;
  std::string bytes;
};

// The most text held: a handler that writes more has it sent as it goes
// (an attempt made again then repeats what was sent).
constexpr size_t kMaxHeldBytes = size_t{1} << 20;

struct HeldText {
  int32_t holds = 0;
  size_t bytes = 0;
  bool keeping = false;
  uint64_t sent = 0;  // the position of pieces.front()
  std::vector<HeldPiece> pieces;
} g_held;

void Send(int32_t fd, const char* bytes, int32_t length) {
  if (g_stdSink.function && length > 0) g_stdSink.function(fd, bytes, length, g_stdSink.user);
}
// The window of "drawnow" and "quit", whose option words point here (a zero
// option word would hand them the engine's default user data instead).
RuntimeWindow* g_window = nullptr;

bool IsStdDescriptor(int32_t fd) {
  return fd == kFdOut || fd == kFdErr || fd == kFdConsole3;
}

ErrCode DrawNowNative(EngineContext*, int32_t, int32_t, uintptr_t slot) {
  if (RuntimeWindow* window = *reinterpret_cast<RuntimeWindow**>(slot)) window->DrawNow();
  return kOk;
}

// Without a window the run ends here, wherever it stands: no catch takes
// kStatusQuit.
ErrCode QuitNative(EngineContext*, int32_t, int32_t, uintptr_t slot) {
  RuntimeWindow* window = *reinterpret_cast<RuntimeWindow**>(slot);
  if (!window) return kStatusQuit;
  window->Quit();
  return kOk;
}

NativeFunctionRecord* BuildTable() {
  const auto kStdSinkWord = reinterpret_cast<uintptr_t>(&g_stdSink);
  const auto kWindowWord = reinterpret_cast<uintptr_t>(&g_window);
  const auto kFeaturesWord = reinterpret_cast<uintptr_t>(kRuntimeFeatures);
  static NativeFunctionRecord table[] = {
#define VKE_RUNTIME_RECORD(name, fn, minIn, maxIn, minOut, maxOut, option) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut, option),
#include "app/runtime_natives.def"
#undef VKE_RUNTIME_RECORD
      MakeRecord(""),
  };
  static_assert(std::size(table) == kRuntimeRecordCount + 1);
  return table;
}

}  // namespace

NativeFunctionRecord* RuntimeNativeTable() {
  static NativeFunctionRecord* const table = BuildTable();
  return table;
}

void BindRuntimeWindow(RuntimeWindow* window) {
  g_window = window;
}

void SetStdOutputSink(StdOutputSink sink, uintptr_t user) {
  g_stdSink = StdSink{sink, user};
}

ErrCode RegisterRuntimeNativeTable(EngineContext* ctx) {
  return RegisterLibrary(ctx, RuntimeNativeTable(), true);
}

void HoldStdOutput() {
  g_held.holds++;
}

void ReleaseStdOutput() {
  if (g_held.holds > 0 && --g_held.holds == 0) FlushStdOutput();
}

uint64_t StdOutputPosition() {
  return g_held.sent + g_held.pieces.size();
}

bool StdOutputSentSince(uint64_t position) {
  return g_held.sent > position;
}

void DropStdOutput(uint64_t from, uint64_t to, uint32_t threads, uint32_t nextThread) {
  std::vector<HeldPiece>& pieces = g_held.pieces;
  const uint64_t first = std::max(from, g_held.sent) - g_held.sent;
  const uint64_t end = std::max(std::min(to, StdOutputPosition()), g_held.sent) - g_held.sent;
  if (first >= end) return;
  const auto dropped = [&](const HeldPiece& p) {
    const bool drop = !p.kept && (p.thread == 0 || p.thread - threads < nextThread - threads);
    if (drop) g_held.bytes -= p.bytes.size();
    return drop;
  };
  pieces.erase(std::remove_if(pieces.begin() + static_cast<ptrdiff_t>(first),
                              pieces.begin() + static_cast<ptrdiff_t>(end), dropped),
               pieces.begin() + static_cast<ptrdiff_t>(end));
}

void FlushStdOutput() {
  // Sent in order, before anything the sink writes may come back here.
  std::vector<HeldPiece> pieces;
  pieces.swap(g_held.pieces);
  g_held.sent += pieces.size();
  g_held.bytes = 0;
  for (const HeldPiece& p : pieces)
    Send(p.fd, p.bytes.data(), static_cast<int32_t>(p.bytes.size()));
}

void KeepStdOutput(bool on) {
  g_held.keeping = on;
}

ErrCode StdFileWriteHook(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                         uintptr_t) {
  if (!IsStdDescriptor(fd)) return kErrBadFileID;
  if (length <= 0) return kOk;
  if (g_held.holds == 0) {
    Send(fd, bytes, length);
    return kOk;
  }
  const InterpThreadRecord* thread = ctx ? GetCurrentThreadRecord(ctx) : nullptr;
  g_held.pieces.push_back({fd, thread ? thread->threadId : 0, g_held.keeping,
                           std::string(bytes, static_cast<size_t>(length))});
  g_held.bytes += static_cast<size_t>(length);
  if (g_held.bytes > kMaxHeldBytes) FlushStdOutput();
  return kOk;
}

ErrCode StdFileBufferingHook(EngineContext*, int32_t fd, int32_t, uintptr_t) {
  return IsStdDescriptor(fd) ? kOk : kErrBadFileID;
}

ErrCode StdFileIoControlHook(EngineContext*, int32_t fd, int32_t, intptr_t*, uintptr_t) {
  return fd == kFdOut || fd == kFdErr ? kOk : kErrBadFileID;
}

ErrCode NotMyDescriptorHook(EngineContext*, int32_t, const char*, int32_t, uintptr_t) {
  return kErrBadFileID;
}

}  // namespace vke
