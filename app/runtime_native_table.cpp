// The run-time native table built from app/runtime_natives.def, its hooks of
// the standard descriptors, the application object's natives and the
// stand-in of the natives whose subsystem this runtime does not have yet.
#include "app/runtime_native_table.hpp"

#include <iterator>

#include "app/natives/app_files.hpp"
#include "app/natives/file_dialogs.hpp"
#include "app/natives/launch_url.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "serial/serial_devices.hpp"

namespace vke {

namespace {

struct StdSink {
  StdOutputSink function = nullptr;
  uintptr_t user = 0;
};

StdSink g_stdSink;
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

// Without a window the run ends here, as a handler's cancel does.
ErrCode QuitNative(EngineContext*, int32_t, int32_t, uintptr_t slot) {
  RuntimeWindow* window = *reinterpret_cast<RuntimeWindow**>(slot);
  if (!window) return kStatusNoPrint;
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

ErrCode StdFileWriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t length,
                         uintptr_t sink) {
  if (!IsStdDescriptor(fd)) return kErrBadFileID;
  const auto* s = reinterpret_cast<const StdSink*>(sink);
  if (s && s->function && length > 0) s->function(fd, bytes, length, s->user);
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
