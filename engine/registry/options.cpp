// Option structures: built from an option table's defaults, updated from
// name/value pairs, and read one option at a time with defaults.
#include "engine/registry/options.hpp"

#include <cstring>

#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

int32_t NameLength(const OptionRecord& r) {
  return static_cast<int32_t>(strnlen(r.name, sizeof r.name));
}

// Index of the record whose name equals the n characters that charAt(k)
// gives, -1 when none. Characters are compared whole, so a wide character
// never matches by its low byte alone.
template <typename CharAt>
int32_t FindRecord(const OptionRecord* table, int32_t n, CharAt charAt) {
  for (int32_t i = 0; table[i].type != kOptionEndOfTable; i++) {
    const OptionRecord& r = table[i];
    if (NameLength(r) != n) continue;
    int32_t k = 0;
    while (k < n && charAt(k) == static_cast<unsigned char>(r.name[k])) k++;
    if (k == n) return i;
  }
  return -1;
}

bool IsPlainEmpty(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  return IsPlain(*d) && d->size == 0;
}

// Pushes a record's default value, by its type.
ErrCode PushOptionDefault(EngineContext* ctx, const OptionRecord& r) {
  switch (r.type) {
    case kOptionNumber:
      return PushRealScalar(ctx, r.def.values[0]);
    case kOptionRow2:
    case kOptionRow3:
    case kOptionRow4: {
      int32_t n = static_cast<int32_t>(r.type - kOptionRow2) + 2;
      double* re;
      ErrCode e = PushNewMatrix(ctx, 1, n, &re, nullptr);
      if (e) return e;
      std::memcpy(re, r.def.values, sizeof(double) * n);
      return kOk;
    }
    case kOptionLogical:
      return PushLogicalScalar(ctx, r.def.values[0] != 0);
    case kOptionEmpty:
      return PushEmptyMatrix(ctx);
    case kOptionEmptyList:
      return PushListFromEntries(ctx, 0, false, nullptr, 0);
    case kOptionTextPtr:
      return PushCString(ctx, -1, r.def.text ? r.def.text : "");
    default:
      break;
  }
  if (r.type < kOptionText0 || r.type > kOptionText4) return kErrIllegal;
  int32_t n = static_cast<int32_t>(r.type - kOptionText0);
  uint16_t* chars;
  ErrCode e = PushNewCharRow(ctx, n, &chars);
  if (e) return e;
  for (int32_t i = 0; i < n; i++) chars[i] = static_cast<uint16_t>(TruncToInt32(r.def.values[i]));
  return kOk;
}

// Pushes a new structure holding the defaults of the records that are not
// hidden, in table order.
ErrCode PushDefaultOptions(EngineContext* ctx, const OptionRecord* table) {
  uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  ErrCode e = PushEntry(ctx, kFlagStructured, 0, kKindStruct, false, nullptr);
  for (const OptionRecord* r = table; !e && r->type != kOptionEndOfTable; r++) {
    if (r->hidden) continue;
    e = PushOptionDefault(ctx, *r);
    if (!e) e = PushListFromEntries(ctx, 1, true, r->name, NameLength(*r));
  }
  if (e) {
    ctx->descTop = descTop;
    ctx->dataTop = dataTop;
  }
  return e;
}

// The record named by the char array at the depth.
ErrCode FindRecordOfArg(EngineContext* ctx, int32_t depth, const OptionRecord* table,
                        int32_t* index) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrWrongType;
  const uint8_t* chars = v.elements;
  *index = FindRecord(table, v.shape.count,
                      [chars](int32_t k) -> uint32_t { return Load<uint16_t>(chars + 2 * k); });
  return *index < 0 ? kErrUnknownOpt : kOk;
}

// Sets the record's field of the structure on top to the value at the depth
// (below the structure): the field's item is replaced in place, the items
// behind it moving by the difference, or appended when the structure lacks
// the field.
ErrCode PutOptionField(EngineContext* ctx, int32_t valueDepth, const OptionRecord& r) {
  int32_t id;
  ErrCode e = InternName(ctx, r.name, NameLength(r), kMaxIdentifierLength, &id);
  if (e) return e;
  const ValueDescriptor value = *DescAt(ctx, valueDepth);
  const uint8_t* source = DataAt(ctx, valueDepth);
  ValueDescriptor* sd = DescAt(ctx, 0);
  uint8_t* items = DataAt(ctx, 0);
  uint64_t bytes = 8ull * sd->size;
  uint64_t at = 0;
  while (at < bytes && Load<int32_t>(items + at + 12) != id) at += ItemBytes(items + at);
  uint64_t oldUnits = at < bytes ? ItemBytes(items + at) / 8 : 0;
  uint64_t newUnits = 2ull + value.size;
  if (uint64_t{ctx->dataTop} + newUnits > ctx->dataCap + oldUnits) return kErrDataOverflow;
  uint8_t* item = items + at;
  std::memmove(item + 8 * newUnits, item + 8 * oldUnits, bytes - at - 8 * oldUnits);
  Store<ValueDescriptor>(item, value);
  Store<int32_t>(item + 12, id);
  std::memcpy(item + 16, source, 8ull * value.size);
  sd->size = static_cast<uint32_t>(sd->size + newUnits - oldUnits);
  ctx->dataTop = static_cast<uint32_t>(ctx->dataTop + newUnits - oldUnits);
  return kOk;
}

// The record of a NUL-terminated name.
int32_t FindNamedRecord(const OptionRecord* table, const char* name) {
  return FindOptionRecord(table, name, name ? static_cast<int32_t>(std::strlen(name)) : 0);
}

}  // namespace

int32_t FindOptionRecord(const OptionRecord* table, const char* name, int32_t length) {
  if (!name || length < 0) return -1;
  return FindRecord(table, length,
                    [name](int32_t k) -> uint32_t { return static_cast<unsigned char>(name[k]); });
}

ErrCode SetOptions(EngineContext* ctx, int32_t nargin, const OptionRecord* table) {
  if (nargin < 0 || 3ull * nargin > ctx->descTop) return kErrIllegal;
  const bool update = nargin % 2 != 0;
  const int32_t pairs = nargin / 2;
  if (update && !IsStructValue(ctx, nargin - 1)) return kErrWrongType;
  // Every name is checked before anything changes; pair i has its name at
  // depth 2 * (pairs - i) - 1 and its value just above.
  int32_t index;
  for (int32_t i = 0; i < pairs; i++) {
    ErrCode e = FindRecordOfArg(ctx, 2 * (pairs - i) - 1, table, &index);
    if (e) return e;
  }
  ErrCode e = update ? RollStackEntries(ctx, nargin, 1) : PushDefaultOptions(ctx, table);
  if (e) return e;
  // The structure is on top now, one entry above the pairs.
  for (int32_t i = 0; i < pairs && !e; i++) {
    int32_t nameDepth = 2 * (pairs - i);
    FindRecordOfArg(ctx, nameDepth, table, &index);
    e = PutOptionField(ctx, nameDepth - 1, table[index]);
  }
  if (!e) return DropStackEntries(ctx, 1, 2 * pairs);
  // Out of memory: the arguments stay, the structure possibly changed.
  if (update)
    RollStackEntries(ctx, nargin, nargin - 1);
  else
    Drop(ctx);
  return e;
}

ErrCode GetOptionsArg(EngineContext* ctx, int32_t depth, const char* name,
                      const OptionRecord* table) {
  int32_t index = FindNamedRecord(table, name);
  if (index < 0) return kErrUndefField;
  const OptionRecord& r = table[index];
  if (IsPlainEmpty(ctx, depth)) return PushOptionDefault(ctx, r);
  if (!IsStructValue(ctx, depth)) return kErrWrongType;
  ErrCode e = GetStructField(ctx, depth, r.name, NameLength(r));
  if (e == kErrUndefField) return PushOptionDefault(ctx, r);
  if (e || !IsPlainEmpty(ctx, 0)) return e;
  // The empty field gives way to the default, or goes when it finds no room.
  e = PushInPlaceOfTop(ctx, 1, [&] { return PushOptionDefault(ctx, r); });
  if (e) Drop(ctx);
  return e;
}

ErrCode PopScalarOptionValue(EngineContext* ctx, double def, double* out) {
  ErrCode e = ConvertToFloat(ctx, 0, false);
  if (!e) {
    NumericView v = ViewNumeric(ctx, 0);
    if (v.shape.count == 0)
      *out = def;
    else if (v.shape.count != 1)
      e = kErrBadSize;
    else if (v.complex && Load<double>(v.elements + 8) != 0)
      e = kErrWrongType;
    else
      *out = Load<double>(v.elements);
  }
  Drop(ctx);
  return e;
}

ErrCode GetOptionField(EngineContext* ctx, int32_t depth, const char* name,
                       const OptionRecord* table, double def, double* out) {
  int32_t index = FindNamedRecord(table, name);
  if (index < 0) return kErrUndefField;
  const OptionRecord& r = table[index];
  if (r.type == kOptionNumber || r.type == kOptionLogical) def = r.def.values[0];
  ErrCode e = GetOptionsArg(ctx, depth, name, table);
  if (e) return e;
  return PopScalarOptionValue(ctx, def, out);
}

ErrCode GetBooleanOption(EngineContext* ctx, int32_t depth, const char* name,
                         const OptionRecord* table, uint8_t def, uint8_t* out) {
  double value;
  ErrCode e = GetOptionField(ctx, depth, name, table, def ? 1.0 : 0.0, &value);
  if (e) return e;
  *out = value != 0;
  return kOk;
}

}  // namespace vke
