// The call builtins: deal, eval, feval, builtin, str2fun and fun2str, and
// the shared operation that calls a function value with its arguments.
#include "builtins/builtin.hpp"
#include "compiler/compile_calls.hpp"
#include "compiler/compile_memory.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// 43 from an argument reader is reported as 44, so that a class method may
// serve an object.
ErrCode Overloadable(ErrCode e) {
  return e == kErrWrongType ? kErrWrongTypeOverload : e;
}

// Room for a copy of a name or function reference as CopyEntryToBytes
// writes it: the descriptor, a char row's header and the longest name.
constexpr uint32_t kFunctionValueBytes = 256;

}  // namespace

ErrCode CallFunctionValueWithArgs(EngineContext* ctx, int32_t scope, int32_t n, int32_t k,
                                  bool byName) {
  if (n < 1) return kErrTooFewArgin;
  FunctionValue v;
  if (ErrCode e = ReadFunctionValue(ctx, n - 1, scope, &v)) return e;
  if (byName && (v.isInline || v.isReference)) return kErrWrongTypeOverload;
  if (v.isInline) return CallInlineFunction(ctx, n - 1, k, false);
  // The value goes before the call. A call without room for its frame, its
  // inputs or its callee's code leaves the arguments as they came: the value
  // comes back under them, in the room it left, so that the calling
  // instruction runs again once the area has grown.
  alignas(8) uint8_t value[kFunctionValueBytes];
  const bool kept = 8ull * static_cast<uint32_t>(GetEntryWordCount(ctx, n - 1)) <= sizeof value;
  if (kept) CopyEntryToBytes(ctx, n - 1, value);
  if (ErrCode e = DropStackEntries(ctx, n - 1, 1)) return e;
  const uint32_t level = ctx->descTop;
  // With the function value gone the calling instruction cannot be tried
  // again on the object path; the call has tried the methods and the doubles.
  const ErrCode e = CallFunctionNamed(ctx, v.name, v.length, v.scope, n - 1, k, byName);
  if (kept && IsEngineMemoryCode(e) && ctx->descTop == level) {
    const RoomRequestsPaused inItsOwnRoom;
    if (PushEntryFromBytes(ctx, value) == kOk) RollStackEntries(ctx, n, n - 1);
  }
  return e == kErrWrongTypeOverload ? kErrWrongType : e;
}

namespace {

constexpr CompilerBuiltinRow kCompilerBuiltinRows[] = {
#define VKE_BUILTIN(name, id, in, out, function, opt)
#define VKE_COMPILER_BUILTIN(name, id, in, out, function, opt) {id, &function},
#include "builtins/builtin_table.def"
#undef VKE_COMPILER_BUILTIN
#undef VKE_BUILTIN
};

}  // namespace

std::span<const CompilerBuiltinRow> CompilerBuiltinRows() {
  return kCompilerBuiltinRows;
}

ErrCode DealBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargout < 0 && nargin == 0) return PushNoValue(ctx);
  int32_t k = nargout < 0 ? 1 : nargout;
  if (nargin == 1) {
    if (k == 0) return Drop(ctx);
    for (int32_t i = 1; i < k; i++)
      if (ErrCode e = DuplicateStackEntries(ctx, 0, 1)) return e;
    return kOk;
  }
  if (k > nargin) return kErrTooManyArgout;
  if (ErrCode e = Drop(ctx, nargin - k)) return e;
  return ReverseStackEntries(ctx, k);
}

ErrCode EvalBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  if (nargin != 1) return kErrIllegal;
  if (ViewNumeric(ctx, 0).cls != ValueClass::kChar) return Overloadable(kErrWrongType);
  // A copy of the text moves to the free end of the data stack for the
  // compilation, and the argument stays as given until the text's run is
  // set up: a lack of room runs the call again on it.
  WithheldSpace withheld(ctx);
  int32_t length;
  const char* copy = withheld.TextCopy(0, &length);
  if (!copy) return kErrDataOverflow;
  return EvaluateInPlaceOfInputs(ctx, copy, length, CurrentScope(ctx), 1, nargout, kEvalKeepAns);
}

ErrCode FevalBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  return CallFunctionValueWithArgs(ctx, CurrentScope(ctx), nargin, nargout, false);
}

ErrCode BuiltinCallBuiltin(EngineContext* ctx, int32_t nargin, int32_t nargout, int32_t) {
  return CallFunctionValueWithArgs(ctx, CurrentScope(ctx), nargin, nargout, true);
}

ErrCode MakeFunctionReference(EngineContext* ctx, int32_t scope) {
  char name[kMaxNameWithLibrary + 1];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, 0, name, sizeof name, &length);
  if (e == kErrObjTooLarge) return kErrNameTooLong;
  if (e) return Overloadable(e);
  if (length == 0) return kErrNullName;
  if ((e = PushFunctionReference(ctx, name, length, scope, nullptr))) return e;
  return DropStackEntries(ctx, 1, 1);
}

ErrCode Str2funBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  return MakeFunctionReference(ctx, CurrentScope(ctx));
}

ErrCode Fun2strBuiltin(EngineContext* ctx, int32_t, int32_t, int32_t) {
  const ValueDescriptor* d = DescAt(ctx, 0);
  ErrCode e;
  if (IsTypedKind(*d, kKindFuncRef) && !IsStructured(*d)) {
    const char* bytes;
    int32_t length;
    GetStringData(DataAt(ctx, 0), &bytes, &length);
    char name[kMaxNameWithLibrary + 1];
    if (length > kMaxNameWithLibrary) return kErrWrongTypeOverload;
    std::memcpy(name, bytes, length);
    e = PushCString(ctx, length, name);
  } else {
    const uint16_t* text;
    int32_t length;
    if ((e = GetInlineFunctionParts(ctx, 0, &text, &length, nullptr, nullptr, nullptr, nullptr)))
      return Overloadable(e);
    // The text is copied out before the push may move nothing but the top.
    uint16_t* chars;
    if ((e = PushNewCharRow(ctx, length, &chars))) return e;
    GetInlineFunctionParts(ctx, 1, &text, nullptr, nullptr, nullptr, nullptr, nullptr);
    std::memcpy(chars, text, 2ull * length);
  }
  return e ? e : DropStackEntries(ctx, 1, 1);
}

}  // namespace vke
