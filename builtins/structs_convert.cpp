// Structures and cell arrays into one another: struct2cell and cell2struct;
// and orderfields, which sorts or reorders the fields.
#include <algorithm>
#include <cmath>

#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "builtins/structured.hpp"
#include "engine/values/value_build.hpp"

namespace vke {

namespace {

// Field names compare byte by byte as signed 8-bit characters; a name that
// is a prefix of the other sorts first.
int CompareFieldNames(const char* a, int32_t la, const char* b, int32_t lb) {
  for (int32_t i = 0; i < std::min(la, lb); i++)
    if (a[i] != b[i])
      return static_cast<signed char>(a[i]) < static_cast<signed char>(b[i]) ? -1 : 1;
  return la < lb ? -1 : la > lb ? 1 : 0;
}

// The permutation that sorts the first fields items of a table by name.
void SortFieldsByName(EngineContext* ctx, uint32_t table, int32_t fields, int32_t* order) {
  for (int32_t i = 0; i < fields; i++) order[i] = i;
  std::sort(order, order + fields, [&](int32_t x, int32_t y) {
    int32_t lx, ly;
    const char* nx = NameText(ctx, ItemName(AtOffset(ctx, TableAt(ctx, table, x))), &lx);
    const char* ny = NameText(ctx, ItemName(AtOffset(ctx, TableAt(ctx, table, y))), &ly);
    int c = CompareFieldNames(nx ? nx : "", nx ? lx : 0, ny ? ny : "", ny ? ly : 0);
    return c != 0 ? c < 0 : x < y;
  });
}

}  // namespace

// struct2cell(s): a structure gives a column of its field values, a
// structure array of size d the cell array [fields, d].
ErrCode Struct2cellBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  StructuredParts parts;
  if (GetStructuredValueOfKind(ctx, 0, 's', &parts)) return kErrWrongTypeOverload;
  DataScratch scratch(ctx);
  uint64_t bytes = 8ull * DescAt(ctx, 0)->size - (parts.first - DataAt(ctx, 0));
  if (parts.kind == kKindStruct) {
    const int32_t dims[2] = {parts.fields, 1};
    const uint32_t first = OffsetOf(ctx, parts.first);
    uint8_t* out;
    ErrCode e = PushStructuredShell(ctx, kKindCell, dims, 2, bytes, &out);
    if (e) return e;
    const uint8_t* item = AtOffset(ctx, first);
    for (int32_t f = 0; f < parts.fields; f++, item += ItemBytes(item))
      out += CopyItem(out, item, 0);
    return DropInputsUnderResult(ctx, 1);
  }
  StructArrayValues values;
  ErrCode e = values.Init(ctx, parts, &scratch);
  if (e) return e;
  const Shape cell = values.CellShape();
  uint8_t* out;
  e = PushStructuredShell(ctx, kKindCell, cell.dims, cell.ndims, bytes, &out);
  if (e) return e;
  for (int64_t p = 0; p < values.Count(); p++)
    out += CopyItem(out, AtOffset(ctx, values.ItemAt(p)), 0);
  return DropInputsUnderResult(ctx, 1);
}

// cell2struct(c, names [, dim]): the cells along dim become the fields.
ErrCode Cell2structBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  int32_t dim = 1;
  if (nargin == 3) {
    ErrCode e = GetIntegerArg(ctx, 0, &dim);
    if (e) return AllowOverload(e);
    if (dim < 1) return kErrBadDim;
  }
  const int32_t cellAt = nargin - 1, namesAt = nargin - 2;
  StructuredParts cell, names;
  if (GetStructuredValueOfKind(ctx, cellAt, 'c', &cell)) return kErrWrongTypeOverload;
  if (GetStructuredValueOfKind(ctx, namesAt, 'c', &names)) return kErrWrongTypeOverload;
  // The cell's dimensions (a list is a row), padded to reach dim.
  int32_t cdims[kMaxDims + 1];
  int32_t nc = cell.shape.ndims;
  for (int32_t i = 0; i < nc; i++) cdims[i] = cell.shape.dims[i];
  if (dim > kMaxDims) return kErrBadDim;
  while (nc < dim) cdims[nc++] = 1;
  const int32_t fields = cdims[dim - 1];
  if (names.elements != fields) return kErrIncompSize;
  int32_t rdims[kMaxDims];
  int32_t nr = 0;
  for (int32_t i = 0; i < nc; i++)
    if (i != dim - 1) rdims[nr++] = cdims[i];
  Shape result;
  NormaliseShape(nr, rdims, &result);
  int64_t elements;
  ShapeCount(result, &elements);
  // The field names, interned, in a scratch table.
  DataScratch scratch(ctx);
  uint32_t ids, table;
  ErrCode e = scratch.Reserve(4ull * fields, &ids);
  if (!e) e = TableItems(ctx, &scratch, OffsetOf(ctx, cell.first), cell.elements, &table);
  if (e) return e;
  const uint8_t* item = names.first;
  for (int32_t f = 0; f < fields; f++, item += ItemBytes(item)) {
    const ValueDescriptor d = Load<ValueDescriptor>(item);
    NumericView v = ViewNumericData(d, const_cast<uint8_t*>(item) + 16);
    if (v.cls != ValueClass::kChar) return kErrWrongTypeOverload;
    if (v.shape.count == 0) return kErrNullName;
    if (v.shape.count > kMaxIdentifierLength) return kErrNameTooLong;
    char name[kNameBufferSize];
    for (int32_t k = 0; k < v.shape.count; k++)
      name[k] = static_cast<char>(Load<uint16_t>(v.elements + 2 * k));
    int32_t id;
    const uint32_t itemAt = OffsetOf(ctx, item);
    e = InternName(ctx, name, v.shape.count, kMaxIdentifierLength, &id);
    if (e) return e;
    item = AtOffset(ctx, itemAt);
    Store<int32_t>(AtOffset(ctx, ids) + 4 * f, id);
  }
  const uint64_t bytes = 8ull * DescAt(ctx, cellAt)->size - (cell.first - DataAt(ctx, cellAt));
  int32_t words[kMaxDims + 1];
  const int32_t length = StructArrayDimsWords(result, fields, words);
  uint8_t* out;
  e = PushStructuredShell(ctx, kKindStructArray, words, length, bytes, &out);
  if (e) return e;
  int32_t rs[kMaxDims], cs[kMaxDims + 1];
  for (int64_t el = 0; el < elements; el++) {
    IndexToSubscripts(nr, rdims, el, rs);
    for (int32_t f = 0; f < fields; f++) {
      for (int32_t i = 0, r = 0; i < nc; i++) cs[i] = i == dim - 1 ? f : rs[r++];
      const int64_t p = SubscriptsToIndex(nc, cdims, nc, cs);
      out += CopyItem(out, AtOffset(ctx, TableAt(ctx, table, p)),
                      Load<int32_t>(AtOffset(ctx, ids) + 4 * f));
    }
  }
  return DropInputsUnderResult(ctx, nargin);
}

// [t, p] = orderfields(s [, order]): the fields sorted by name, or in the
// order of a permutation vector or of another structure's fields; p gives
// for each field of t its position in s.
ErrCode OrderfieldsBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  const int32_t sAt = nargin - 1;
  StructuredParts parts;
  if (GetStructuredValueOfKind(ctx, sAt, 's', &parts)) return kErrWrongTypeOverload;
  const int32_t fields = parts.kind == kKindStruct ? parts.items : parts.fields;
  const bool named = parts.elements > 0;
  DataScratch scratch(ctx);
  uint32_t orderAt, table;
  ErrCode e = scratch.Reserve(4ull * fields, &orderAt);
  if (!e)
    e = TableItems(ctx, &scratch, OffsetOf(ctx, parts.first), int64_t{fields} * parts.elements,
                   &table);
  if (e) return e;
  auto order = [&]() { return reinterpret_cast<int32_t*>(AtOffset(ctx, orderAt)); };
  if (nargin == 1) {
    SortFieldsByName(ctx, table, named ? fields : 0, order());
    for (int32_t i = named ? fields : 0; i < fields; i++) order()[i] = i;
  } else if (IsStructured(*DescAt(ctx, 0))) {
    StructuredParts model;
    if (GetStructuredValueOfKind(ctx, 0, 's', &model)) return kErrWrongTypeOverload;
    const int32_t modelFields = model.kind == kKindStruct ? model.items : model.fields;
    if (modelFields != fields) return kErrBadSize;
    const uint8_t* item = model.first;
    for (int32_t i = 0; i < fields; i++, item += ItemBytes(item)) {
      int32_t at = -1;
      for (int32_t k = 0; named && k < fields && at < 0; k++)
        if (ItemName(AtOffset(ctx, TableAt(ctx, table, k))) == ItemName(item)) at = k;
      if (at < 0) return kErrBadArg;
      order()[i] = at;
    }
  } else {
    NumericView v = ViewNumeric(ctx, 0);
    if (v.cls == ValueClass::kOther || v.cls == ValueClass::kChar || v.cls == ValueClass::kLogical)
      return kErrWrongType;
    if (v.shape.count != fields) return kErrBadSize;
    e = ConvertToFloat(ctx, 0, false);
    if (e) return e;
    v = ViewNumeric(ctx, 0);
    for (int32_t i = 0; i < fields; i++) {
      const double x = Load<double>(v.elements + 8 * i);
      if (x != std::floor(x)) return kErrNonIntArg;
      if (x < 1 || x > fields) return kErrBadArg;
      order()[i] = static_cast<int32_t>(x) - 1;
    }
    for (int32_t i = 0; i < fields; i++)
      for (int32_t k = 0; k < i; k++)
        if (order()[k] == order()[i]) return kErrBadArg;
  }
  const int32_t outputs = nargout >= 2 ? 2 : 1;
  if (outputs == 2) {
    double* p;
    e = PushNewMatrix(ctx, fields, 1, &p, nullptr);
    if (e) return e;
    for (int32_t i = 0; i < fields; i++) p[i] = order()[i] + 1;
  }
  const int32_t depth = sAt + outputs - 1;
  StructuredParts now;
  DecodeStructuredData(*DescAt(ctx, depth), DataAt(ctx, depth), &now);
  int32_t words[kMaxDims + 1];
  const bool array = parts.kind == kKindStructArray;
  const int32_t length = array ? StructArrayDimsWords(parts.shape, fields, words) : 0;
  const uint64_t bytes = 8ull * DescAt(ctx, depth)->size - (now.first - DataAt(ctx, depth));
  uint8_t* out;
  e = PushStructuredShell(ctx, parts.kind, words, length, bytes, &out);
  if (e) {
    Drop(ctx, outputs - 1);
    return e;
  }
  for (int32_t el = 0; el < parts.elements; el++)
    for (int32_t f = 0; f < fields; f++) {
      const uint8_t* item = AtOffset(ctx, TableAt(ctx, table, int64_t{el} * fields + order()[f]));
      out += CopyItem(out, item, ItemName(item));
    }
  return DropStackEntries(ctx, outputs, nargin);
}

}  // namespace vke
