// info('v'): the variables of the innermost frame that has variables, each
// with a description of its value (its size for a matrix, its kind and
// size for other values).
#include <cstdio>

#include "compiler/info_listing.hpp"
#include "engine/code/names.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

constexpr int32_t kGlobalOwner = -1;
// A variable's block: the value's descriptor and a word 0, then its data.
constexpr uint32_t kBlockDataOffset = 16;

ErrCode WriteDecimal(InfoListing* out, int64_t n) {
  char digits[24];
  const int count = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(n));
  return out->Write(digits, count);
}

// A description and a number in the display format behind it.
ErrCode WriteCounted(InfoListing* out, const char* text, double n) {
  ErrCode e = out->WriteText(text);
  return e ? e : out->WriteNumber(n);
}

ErrCode WriteStructuredDescription(InfoListing* out, const ValueDescriptor& d, uint8_t* data) {
  switch (d.word) {
    case kKindStruct:
      return WriteCounted(out, "struct size=", d.size);
    case kKindList: {
      StructuredParts parts;
      DecodeStructuredData(d, data, &parts);
      return WriteCounted(out, "list length=", parts.items);
    }
    case kKindCell:
      return WriteCounted(out, "cell size=", d.size);
    case kKindStructArray:
      return WriteCounted(out, "struct array size=", d.size);
    default: {
      int32_t length = 0;
      const char* name =
          IsObjectKind(d.word) ? NameText(out->ctx(), ObjectClassId(d.word), &length) : nullptr;
      ErrCode e = out->WriteText("object class=");
      if (!e && name) e = out->Write(name, length);
      return e ? e : WriteCounted(out, " size=", d.size);
    }
  }
}

ErrCode WriteTypedDescription(InfoListing* out, const ValueDescriptor& d, const uint8_t* data) {
  switch (d.word) {
    case kKindInline:
      return WriteCounted(out, "inline function size=", d.size);
    case kKindArray: {
      ErrCode e = WriteCounted(out, "array ndim=", HeaderNdims(data));
      if (!e && HeaderCode(data) == kCodeDoubleComplex) e = out->WriteText(" complex");
      return e;
    }
    case kKindChar:
      return WriteCounted(out, "char array ndim=", HeaderNdims(data));
    case kKindLogical:
      return WriteCounted(out, "logical array ndim=", HeaderNdims(data));
    default:
      return WriteCounted(out, "binary data size=", d.size);
  }
}

// The description of the value a variable's slot block holds.
ErrCode WriteDescription(InfoListing* out, int32_t slot) {
  EngineContext* ctx = out->ctx();
  int32_t owner;
  if (GetLinkOwner(ctx, slot, &owner) && owner == kGlobalOwner) return out->WriteText("global");
  const int32_t block = VariableValueBlock(ctx, slot);
  if (block <= 0) return out->WriteText("not defined");
  uint8_t* p = BlockData(ctx, block);
  const ValueDescriptor d = Load<ValueDescriptor>(p);
  uint8_t* data = p + kBlockDataOffset;
  if (IsStructured(d)) return WriteStructuredDescription(out, d, data);
  if (IsTyped(d)) return WriteTypedDescription(out, d, data);
  ErrCode e = WriteDecimal(out, PlainRows(d));
  if (!e) e = out->Write("x", 1);
  if (!e) e = WriteDecimal(out, d.word);
  if (!e && (d.flags & kFlagComplex)) e = out->WriteText(" complex");
  return e;
}

}  // namespace

ErrCode ListFrameVariables(InfoListing* out) {
  EngineContext* ctx = out->ctx();
  const int32_t f = InnermostVariableFrame(ctx);
  const int32_t count = f < 0 ? 0 : static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  if (count == 0 && !out->collect()) {
    ErrCode e = out->WriteText("No variable");
    return e ? e : out->EndLine();
  }
  for (int32_t i = 0; i < count; i++) {
    const char* name = FrameVariableName(ctx, f, i);
    const int32_t length = name ? static_cast<int32_t>(strnlen(name, kFrameNameBytes)) : 0;
    const auto slot = static_cast<int32_t>(FrameWords(ctx, f)[kFrameHeaderWords + i]);
    ErrCode e;
    if (out->collect()) {
      e = out->StringField("name", name, length);
      if (!e) e = out->LogicalField("defined", VariableValueBlock(ctx, slot) > 0);
      out->EndStructure();
    } else {
      e = out->Write(name, length);
      if (!e) e = out->Write(" (", 2);
      if (!e) e = WriteDescription(out, slot);
      if (!e) e = out->Write(")", 1);
      if (!e) e = out->EndLine();
    }
    if (e) return e;
  }
  return kOk;
}

}  // namespace vke
