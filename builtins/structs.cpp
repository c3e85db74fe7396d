// Structures and structure arrays: struct and structarray build them;
// isstruct and isfield test them; getfield, setfield and rmfield read and
// change fields; fieldnames lists them.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/structured.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

// The fields of a structure or object at the depth, or of the first element
// of a structure array (none when it has no element).
bool FieldItems(EngineContext* ctx, int32_t depth, bool arrays, const uint8_t** first,
                int32_t* count) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsStructured(*d)) return false;
  const bool structure = d->word == kKindStruct || IsObjectKind(d->word);
  if (!structure && !(arrays && d->word == kKindStructArray)) return false;
  StructuredParts parts;
  DecodeStructuredData(*d, DataAt(ctx, depth), &parts);
  *first = parts.first;
  *count = parts.elements > 0 ? parts.fields : 0;
  return true;
}

// Objects show their fields only to the methods of a class.
ErrCode CheckFieldAccess(EngineContext* ctx, int32_t depth) {
  const ValueDescriptor* d = DescAt(ctx, depth);
  if (!IsStructured(*d)) return kErrWrongTypeOverload;
  if (d->word == kKindStruct) return kOk;
  if (!IsObjectKind(d->word)) return kErrWrongTypeOverload;
  const bool inMethod = ctx->curFrame >= 0 && FrameWords(ctx, ctx->curFrame)[kFwMethodCall] != 0;
  return inMethod ? kOk : kErrInvalidFieldAccess;
}

// struct(name1, value1, ...) with the pairs on the stack.
ErrCode StructFromPairs(EngineContext* ctx, int32_t nargin) {
  if (nargin % 2) return kErrTooFewArgin;
  const int32_t fields = nargin / 2;
  uint64_t bytes = 0;
  for (int32_t f = 0; f < fields; f++) {
    int32_t id;
    ErrCode e = InternNameArg(ctx, nargin - 1 - 2 * f, &id);
    if (e) return e;
    bytes += 16 + 8ull * DescAt(ctx, nargin - 2 - 2 * f)->size;
  }
  uint8_t* out;
  ErrCode e = PushStructuredShell(ctx, kKindStruct, nullptr, 0, bytes, &out);
  if (e) return e;
  for (int32_t f = 0; f < fields; f++) {
    int32_t id;
    InternNameArg(ctx, nargin - 2 * f, &id);
    const int32_t at = nargin - 1 - 2 * f;
    out += WriteItem(out, *DescAt(ctx, at), DataAt(ctx, at), id);
  }
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace

// struct(): an empty structure; struct(s): a structure or an object as a
// plain structure; struct(name1, value1, ...): the fields in order.
ErrCode StructBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin != 1) return StructFromPairs(ctx, nargin);
  ValueDescriptor* d = DescAt(ctx, 0);
  if (!IsStructured(*d) || !(d->word == kKindStruct || IsObjectKind(d->word)))
    return kErrWrongTypeOverload;
  d->word = kKindStruct;
  return kOk;
}

// structarray(name1, cells1, ...): element i has the i-th values.
ErrCode StructarrayBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  if (nargin % 2) return kErrTooFewArgin;
  const int32_t fields = nargin / 2;
  StructuredParts parts;
  Shape shape;
  uint64_t bytes = 0;
  for (int32_t f = 0; f < fields; f++) {
    const int32_t at = nargin - 2 - 2 * f;
    if (!IsCharArray(ctx, nargin - 1 - 2 * f)) return kErrWrongTypeOverload;
    if (GetStructuredValueOfKind(ctx, at, 'c', &parts)) return kErrWrongTypeOverload;
    if (f == 0) {
      shape = parts.shape;
    } else if (parts.elements != shape.count) {
      return kErrBadSize;
    }
    bytes += 8ull * DescAt(ctx, at)->size - (parts.first - DataAt(ctx, at));
  }
  if (fields == 0) MakeEmptyShape(&shape);
  DataScratch scratch(ctx);
  uint32_t cursors;
  ErrCode e = scratch.Reserve(8ull * fields, &cursors);
  if (e) return e;
  for (int32_t f = 0; f < fields; f++) {
    e = InternNameArg(ctx, nargin - 1 - 2 * f,
                      reinterpret_cast<int32_t*>(AtOffset(ctx, cursors) + 8 * f + 4));
    if (e) return e;
    GetStructuredValueOfKind(ctx, nargin - 2 - 2 * f, 'c', &parts);
    Store<uint32_t>(AtOffset(ctx, cursors) + 8 * f, OffsetOf(ctx, parts.first));
  }
  int32_t words[kMaxDims + 1];
  const int32_t length = StructArrayDimsWords(shape, fields, words);
  uint8_t* out;
  e = PushStructuredShell(ctx, kKindStructArray, words, length, bytes, &out);
  if (e) return e;
  uint8_t* cursor = AtOffset(ctx, cursors);
  for (int32_t i = 0; i < shape.count; i++) {
    for (int32_t f = 0; f < fields; f++) {
      const uint8_t* item = AtOffset(ctx, Load<uint32_t>(cursor + 8 * f));
      out += CopyItem(out, item, Load<int32_t>(cursor + 8 * f + 4));
      Store<uint32_t>(cursor + 8 * f, OffsetOf(ctx, item) + ItemBytes(item));
    }
  }
  return DropInputsUnderResult(ctx, nargin);
}

ErrCode IsstructBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  return ReplaceInputsWithLogical(
      ctx, 1, IsStructured(*d) && (d->word == kKindStruct || d->word == kKindStructArray));
}

// isfield(s, name): a field of exactly that name exists.
ErrCode IsfieldBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  char name[kNameBufferSize];
  int32_t length;
  ErrCode e = ReadNameArg(ctx, 0, name, &length);
  if (e == kErrWrongTypeOverload) return e;
  const int32_t id = e ? 0 : FindName(ctx, name, length);
  const uint8_t* first = nullptr;
  int32_t count = 0;
  const bool found = id != 0 && FieldItems(ctx, 1, true, &first, &count) &&
                     !IsObjectValue(ctx, 1) && FindFieldItem(first, count, id);
  return ReplaceInputsWithLogical(ctx, 2, found);
}

// getfield(s, name): the value of the first field of that name.
ErrCode GetfieldBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = CheckFieldAccess(ctx, 1);
  if (e) return e;
  char name[kNameBufferSize];
  int32_t length;
  e = ReadNameArg(ctx, 0, name, &length);
  if (e) return e;
  const uint8_t* first = nullptr;
  int32_t count = 0;
  FieldItems(ctx, 1, false, &first, &count);
  const int32_t id = FindName(ctx, name, length);
  const uint8_t* item = id ? FindFieldItem(first, count, id) : nullptr;
  if (!item) return kErrUndefField;
  const ValueDescriptor d = Load<ValueDescriptor>(item);
  const uint32_t at = OffsetOf(ctx, item) + 16;
  uint8_t* data;
  e = PushEntry(ctx, d.flags, d.size, d.word, false, &data);
  if (e) return e;
  std::memcpy(data, AtOffset(ctx, at), 8ull * d.size);
  return DropInputsUnderResult(ctx, 2);
}

// setfield(s, name, v): the field's value replaced, or a new field at the
// end.
ErrCode SetfieldBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  ErrCode e = CheckFieldAccess(ctx, 2);
  if (e) return e;
  int32_t id;
  e = InternNameArg(ctx, 1, &id);
  if (e) return e;
  const uint8_t* first = nullptr;
  int32_t count = 0;
  FieldItems(ctx, 2, false, &first, &count);
  const uint8_t* data = DataAt(ctx, 2);
  const uint32_t total = 8 * DescAt(ctx, 2)->size;
  const uint8_t* old = FindFieldItem(first, count, id);
  const uint32_t before = old ? static_cast<uint32_t>(old - data) : total;
  const uint32_t after = old ? before + ItemBytes(old) : total;
  const uint32_t dataAt = OffsetOf(ctx, data);
  const ValueDescriptor value = *DescAt(ctx, 0);
  const uint32_t valueAt = OffsetOf(ctx, DataAt(ctx, 0));
  uint8_t* out;
  e = PushStructuredShell(ctx, DescAt(ctx, 2)->word, nullptr, 0,
                          uint64_t{before} + 16 + 8ull * value.size + (total - after), &out);
  if (e) return e;
  std::memcpy(out, AtOffset(ctx, dataAt), before);
  out += before;
  out += WriteItem(out, value, AtOffset(ctx, valueAt), id);
  std::memcpy(out, AtOffset(ctx, dataAt) + after, total - after);
  return DropInputsUnderResult(ctx, 3);
}

// rmfield(s, names): every field named by a text or a list of texts goes,
// from every element of a structure array.
ErrCode RmfieldBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor* d = DescAt(ctx, 1);
  if (!IsStructured(*d) || (d->word != kKindStruct && d->word != kKindStructArray))
    return kErrWrongTypeOverload;
  // The ids of the names to remove (0 for names never seen).
  int32_t names = 1;
  StructuredParts list;
  const bool many = !IsCharArray(ctx, 0);
  if (many) {
    if (GetStructuredValueOfKind(ctx, 0, 'c', &list)) return kErrWrongTypeOverload;
    names = list.elements;
  }
  DataScratch scratch(ctx);
  uint32_t ids;
  ErrCode e = scratch.Reserve(4ull * names, &ids);
  if (e) return e;
  const uint8_t* item = many ? list.first : nullptr;
  for (int32_t i = 0; i < names; i++) {
    char name[kNameBufferSize];
    int32_t length = 0;
    if (many) {
      const ValueDescriptor id = Load<ValueDescriptor>(item);
      if (!IsTypedKind(id, kKindChar) || IsStructured(id)) return kErrWrongTypeOverload;
      NumericView v = ViewNumericData(id, const_cast<uint8_t*>(item) + 16);
      length = v.shape.count <= kMaxIdentifierLength ? v.shape.count : 0;
      for (int32_t k = 0; k < length; k++)
        name[k] = static_cast<char>(Load<uint16_t>(v.elements + 2 * k));
      item += ItemBytes(item);
    } else {
      e = ReadNameArg(ctx, 0, name, &length);
      if (e == kErrWrongTypeOverload) return e;
    }
    Store<int32_t>(AtOffset(ctx, ids) + 4 * i, length > 0 ? FindName(ctx, name, length) : 0);
  }
  auto removed = [&](const uint8_t* field) {
    for (int32_t i = 0; i < names; i++) {
      const int32_t id = Load<int32_t>(AtOffset(ctx, ids) + 4 * i);
      if (id != 0 && id == ItemName(field)) return true;
    }
    return false;
  };
  StructuredParts parts;
  DecodeStructuredData(*DescAt(ctx, 1), DataAt(ctx, 1), &parts);
  const bool array = parts.kind == kKindStructArray;
  const int32_t span = array ? parts.fields : parts.items;
  const int64_t itemCount = int64_t{span} * parts.elements;
  // Sizes first, then the copy.
  uint64_t bytes = 0;
  int32_t kept = span;
  const uint8_t* field = parts.first;
  for (int64_t i = 0; i < itemCount; i++, field += ItemBytes(field)) {
    if (removed(field)) {
      if (i < span) kept--;
    } else {
      bytes += ItemBytes(field);
    }
  }
  int32_t words[kMaxDims + 1];
  const int32_t length = array ? StructArrayDimsWords(parts.shape, kept, words) : 0;
  const uint32_t firstAt = OffsetOf(ctx, parts.first);
  uint8_t* out;
  e = PushStructuredShell(ctx, parts.kind, words, length, bytes, &out);
  if (e) return e;
  field = AtOffset(ctx, firstAt);
  for (int64_t i = 0; i < itemCount; i++, field += ItemBytes(field))
    if (!removed(field)) out += CopyItem(out, field, ItemName(field));
  return DropInputsUnderResult(ctx, 2);
}

// fieldnames(s): a list of the field names in order.
ErrCode FieldnamesBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const uint8_t* first = nullptr;
  int32_t count = 0;
  if (!FieldItems(ctx, 0, true, &first, &count)) return kErrWrongTypeOverload;
  uint32_t at = OffsetOf(ctx, first);
  for (int32_t i = 0; i < count; i++) {
    int32_t length;
    const char* name = NameText(ctx, ItemName(AtOffset(ctx, at)), &length);
    ErrCode e = PushCString(ctx, name ? length : 0, name ? name : "");
    if (e) {
      Drop(ctx, i);
      return e;
    }
    at += ItemBytes(AtOffset(ctx, at));
  }
  ErrCode e = PushListFromEntries(ctx, count, false, nullptr, 0);
  if (e) {
    Drop(ctx, count);
    return e;
  }
  return DropInputsUnderResult(ctx, 1);
}

}  // namespace vke
