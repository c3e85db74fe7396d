// Engine texts encoded for the host.
#include "app/natives/host_text.hpp"

#include "engine/errors/errors.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

ErrCode EncodeTextArg(EngineContext* ctx, int32_t depth, char* out, int32_t size, int32_t* length) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
  EncodeOutputText(ctx, kLineEndLF, reinterpret_cast<const uint16_t*>(v.elements), v.shape.count,
                   reinterpret_cast<uint8_t*>(out), size, length);
  return kOk;
}

}  // namespace vke
