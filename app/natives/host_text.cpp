// Engine texts encoded for the host.
#include "app/natives/host_text.hpp"

#include <limits>

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

namespace {

// Bytes an encoder may make of one character, and the room it asks beyond
// the last one.
constexpr int64_t kBytesPerChar = 4;
constexpr int64_t kEncoderSlack = 8;

}  // namespace

ErrCode WholeTextArg(EngineContext* ctx, int32_t depth, std::string* out) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrWrongType;
  const int64_t size = kBytesPerChar * v.shape.count + kEncoderSlack;
  if (size > std::numeric_limits<int32_t>::max()) return kErrObjTooLarge;
  out->assign(static_cast<size_t>(size), '\0');
  int32_t length = 0;
  const bool whole = EncodeOutputText(
      ctx, kLineEndLF, reinterpret_cast<const uint16_t*>(v.elements), v.shape.count,
      reinterpret_cast<uint8_t*>(out->data()), static_cast<int32_t>(size), &length);
  if (!whole) return kErrObjTooLarge;
  out->resize(static_cast<size_t>(length));
  return kOk;
}

}  // namespace vke
