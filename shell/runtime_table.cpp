// The runtime's natives and output hook.
#include "shell/runtime_table.hpp"

#include <cstdio>
#include <cstdlib>

namespace vke {

namespace {

constexpr const char* kOutputVariable = "VKE_RUNTIME_OUTPUT";
constexpr int kLineFeed = 1;  // line ending of the "+write" record

ErrCode Write(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t) {
  if (fd < 1 || fd > 3) return kErrBadFileID;
  if (std::getenv(kOutputVariable)) std::fwrite(bytes, 1, static_cast<size_t>(n), stderr);
  return kOk;
}

ErrCode DrawNow(EngineContext*, int32_t, int32_t, uintptr_t option) {
  reinterpret_cast<RuntimeWindow*>(option)->DrawNow();
  return kOk;
}

ErrCode Quit(EngineContext*, int32_t, int32_t, uintptr_t option) {
  reinterpret_cast<RuntimeWindow*>(option)->Quit();
  return kOk;
}

}  // namespace

std::vector<NativeFunctionRecord> RuntimeTable(RuntimeWindow* window) {
  const auto self = reinterpret_cast<uintptr_t>(window);
  return {MakeRecord("@kvruntime"), MakeRecord("+write", &Write, kLineFeed),
          MakeRecord("drawnow", &DrawNow, 0, 0, 0, 0, self),
          MakeRecord("quit", &Quit, 0, 0, 0, 0, self), MakeRecord("")};
}

}  // namespace vke
