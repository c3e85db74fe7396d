// Classifying values on the stacks, and replacing an entry by a new value.
#include "engine/errors/errors.hpp"
#include "engine/values/value_build.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

NumericView ViewNumeric(EngineContext* ctx, int32_t depth) {
  return ViewNumericData(*DescAt(ctx, depth), DataAt(ctx, depth));
}

NumericView ViewNumericData(const ValueDescriptor& desc, uint8_t* data) {
  NumericView v;
  const ValueDescriptor* d = &desc;
  if (IsPlain(*d)) {
    v.cls = ValueClass::kDouble;
    v.complex = (d->flags & kFlagComplex) != 0;
    v.elements = data;
    v.shape.ndims = 2;
    v.shape.dims[0] = PlainRows(*d);
    v.shape.dims[1] = d->word;
    v.shape.count = v.shape.dims[0] * v.shape.dims[1];
    v.code = v.complex ? kCodeDoubleComplex : kCodeDouble;
    return v;
  }
  if (!IsTyped(*d) || (d->flags & (kFlagStructured | kFlagReference | kFlagMarker | kFlagNoValue)))
    return v;
  if (d->word != kKindArray && d->word != kKindChar && d->word != kKindLogical) return v;
  v.code = HeaderCode(data);
  ReadHeaderShape(data, &v.shape);
  v.elements = HeaderElements(data);
  if (d->word == kKindChar) {
    v.cls = ValueClass::kChar;
  } else if (d->word == kKindLogical) {
    v.cls = ValueClass::kLogical;
  } else if (v.code == kCodeDouble || v.code == kCodeDoubleComplex) {
    v.cls = ValueClass::kDouble;
    v.complex = v.code == kCodeDoubleComplex;
  } else if (v.code == kCodeSingle || v.code == kCodeSingleComplex) {
    v.cls = ValueClass::kSingle;
    v.complex = v.code == kCodeSingleComplex;
  } else if (IsIntegerCode(v.code)) {
    v.cls = ValueClass::kInteger;
  }
  return v;
}

ErrCode ReplaceEntryWithTop(EngineContext* ctx, int32_t depth) {
  // The old entry now lies at depth + 1.
  if (depth > 0) {
    ErrCode e = RollStackEntries(ctx, depth + 2, depth + 1);
    if (e) return e;
    return DropStackEntries(ctx, depth, 1);
  }
  return DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
