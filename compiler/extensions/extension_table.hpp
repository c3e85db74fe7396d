// What the callback slots share: the call state kept in the table, the
// depth of an input, failing with a code, and counting an output against
// the scratch area.
#pragma once

#include "compiler/extensions/extension_loader.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

inline EngineContext* TableContext(VkeExtCallbacks* t) {
  return reinterpret_cast<EngineContext*>(t->context);
}
// Stores the code and gives the callbacks' failure result.
inline int32_t FailWith(VkeExtCallbacks* t, ErrCode code) {
  t->errorCode = code;
  return 0;
}
inline int32_t Succeed(VkeExtCallbacks* t, ErrCode code) {
  return code ? FailWith(t, code) : 1;
}
// The stack depth of input i (1..nargin), -1 for another number.
inline int32_t InputDepth(const VkeExtCallbacks* t, int32_t i) {
  return i < 1 || i > t->nargin ? -1 : t->nargin - i + t->outputsPushed;
}
// Counts the value just pushed as an output: where its data overlaps the
// scratch area it is cut from the area's front; overlapping data that
// reaches past the area's end is taken back and fails with 3.
int32_t CountOutput(VkeExtCallbacks* t, ErrCode pushed);

// The slots on values, items and fields (extension_values.cpp).
int32_t ExtGetArgRef(VkeExtCallbacks* t, int32_t i, VkeExtValueRef* ref);
int32_t ExtDescribeValue(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t* ndims,
                         int32_t* dims, int32_t* elementSize, int32_t* numberClass, void** data);
int32_t ExtGetItemCount(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t* count);
int32_t ExtGetListItem(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i,
                       VkeExtValueRef* item);
int32_t ExtGetFieldName(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i, char* name);
int32_t ExtGetField(VkeExtCallbacks* t, const VkeExtValueRef* ref, const char* name,
                    VkeExtValueRef* field);
int32_t ExtGetStructArrayField(VkeExtCallbacks* t, const VkeExtValueRef* ref, int32_t i,
                               const char* name, VkeExtValueRef* field);
int32_t ExtNewList(VkeExtCallbacks* t);
int32_t ExtAppendToList(VkeExtCallbacks* t);
int32_t ExtNewStruct(VkeExtCallbacks* t);
int32_t ExtAddStructField(VkeExtCallbacks* t, const char* name);
int32_t ExtMakeStructArray(VkeExtCallbacks* t, int32_t ndims, const int32_t* dims);
int32_t ExtBuildStruct(VkeExtCallbacks* t, int32_t n);

}  // namespace vke
