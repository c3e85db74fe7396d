// Function-reference values.
#include "engine/code/function_ref.hpp"

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {
constexpr int32_t kRefHeaderBytes = 4;
}

ErrCode PushFunctionReference(EngineContext* ctx, const char* bytes, int32_t n, int32_t word,
                              uint8_t** data) {
  if (n < 0 || n > 0xFFFF) return kErrBadArg;
  void* out;
  ErrCode e =
      PushTypedEntry(ctx, kKindFuncRef, static_cast<uint32_t>(n + kRefHeaderBytes + 1), &out);
  if (e) return e;
  auto* d = static_cast<uint8_t*>(out);
  Store<uint16_t>(d, static_cast<uint16_t>(n));
  Store<uint16_t>(d + 2, static_cast<uint16_t>(word));
  if (n) std::memcpy(d + kRefHeaderBytes, bytes, n);
  d[kRefHeaderBytes + n] = 0;
  if (data) *data = d;
  return kOk;
}

void GetStringData(const uint8_t* data, const char** bytes, int32_t* length) {
  *length = Load<uint16_t>(data);
  *bytes = reinterpret_cast<const char*>(data + kRefHeaderBytes);
}

}  // namespace vke
