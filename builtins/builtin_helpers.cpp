// Small pieces shared by the builtins of the class, string, list and
// structure families.
#include "builtins/builtin_helpers.hpp"

#include "engine/value_build.hpp"
#include "engine/values.hpp"

namespace vke {

ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value) {
  ErrCode e = Drop(ctx, n);
  return e ? e : PushLogicalScalar(ctx, value ? 1 : 0);
}

ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n) {
  return DropStackEntries(ctx, 1, n);
}

int ElementBytesOf(const ArrayKind& kind) {
  switch (kind.cls) {
    case ValueClass::kDouble:
      return 8;
    case ValueClass::kSingle:
      return 4;
    case ValueClass::kChar:
      return 2;
    case ValueClass::kLogical:
      return 1;
    default:
      return ElementBytesOfCode(kind.code);
  }
}

ErrCode PushArrayOfKind(EngineContext* ctx, const ArrayKind& kind, int32_t ndims,
                        const int32_t* dims, uint8_t** re, uint8_t** im) {
  *im = nullptr;
  ErrCode e;
  switch (kind.cls) {
    case ValueClass::kDouble: {
      double *r, *i = nullptr;
      e = PushNewArray(ctx, ndims, dims, &r, kind.complex ? &i : nullptr);
      *re = reinterpret_cast<uint8_t*>(r);
      *im = reinterpret_cast<uint8_t*>(i);
      return e;
    }
    case ValueClass::kSingle: {
      float *r, *i = nullptr;
      e = PushNewSingleArray(ctx, ndims, dims, &r, kind.complex ? &i : nullptr);
      *re = reinterpret_cast<uint8_t*>(r);
      *im = reinterpret_cast<uint8_t*>(i);
      return e;
    }
    case ValueClass::kChar: {
      uint16_t* c;
      e = PushNewCharArray(ctx, ndims, dims, &c);
      *re = reinterpret_cast<uint8_t*>(c);
      return e;
    }
    case ValueClass::kLogical:
      return PushLogicalArray(ctx, ndims, dims, re);
    case ValueClass::kInteger: {
      void* p;
      e = PushNewTypedArray(ctx, ndims, dims, ElementBytesOfCode(kind.code),
                            (kind.code & kCodeUnsigned) != 0, &p);
      *re = static_cast<uint8_t*>(p);
      return e;
    }
    default:
      return kErrWrongType;
  }
}

ErrCode ConvertToClass(EngineContext* ctx, int32_t depth, const ArrayKind& kind) {
  switch (kind.cls) {
    case ValueClass::kDouble:
    case ValueClass::kSingle:
      return ConvertToFloat(ctx, depth, kind.cls == ValueClass::kSingle);
    case ValueClass::kLogical:
      return ConvertToLogical(ctx, depth);
    case ValueClass::kChar: {
      ErrCode e = ConvertToInteger(ctx, depth, 2, true, false);
      if (!e) DescAt(ctx, depth)->word = kKindChar;
      return e;
    }
    case ValueClass::kInteger:
      return ConvertToInteger(ctx, depth, ElementBytesOfCode(kind.code),
                              (kind.code & kCodeUnsigned) != 0, false);
    default:
      return kErrWrongType;
  }
}

bool ViewChars(EngineContext* ctx, int32_t depth, const uint16_t** chars, int32_t* length) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return false;
  *chars = reinterpret_cast<const uint16_t*>(v.elements);
  *length = v.shape.count;
  return true;
}

ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n) {
  ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsTypedKind(*d, kKindChar) || IsStructured(*d)) return kErrWrongType;
  uint8_t* data = DataAt(ctx, 0);
  const uint8_t* from = HeaderElements(data) + 2ull * first;
  const int32_t dims[2] = {n > 0 ? 1 : 0, n};
  uint8_t* to = data + 8 * HeaderUnits(2);
  std::memmove(to, from, 2ull * n);
  const auto units = static_cast<uint32_t>(TypedArrayUnits(2, 2ull * n));
  std::memset(to + 2ull * n, 0, 8ull * units - 8 * HeaderUnits(2) - 2ull * n);
  WriteTypedHeader(data, kCodeUInt16, 2, dims);
  ctx->dataTop -= d->size - units;
  d->size = units;
  return kOk;
}

}  // namespace vke
