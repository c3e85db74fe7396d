// The natives of the engine's sandbox and of text read as values: sandbox
// runs a text in a frame that may call only natives of switchable ("!")
// libraries and declares no globals, sandboxtrust marks a function trusted
// for such code, and str2obj turns a text into the values it lists.
#include <cstring>
#include <string>

#include "compiler/compile.hpp"
#include "compiler/compile_calls.hpp"
#include "compiler/compile_memory.hpp"
#include "compiler/value_list.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/frames/frames.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

ErrCode SandboxNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  const NumericView source = ViewNumeric(ctx, nargin - 1);
  if (source.cls != ValueClass::kChar) return kErrWrongType;
  // A copy of the text moves to the free end of the data stack, withheld
  // from pushes while it is compiled, and the arguments stay as given until
  // the text's run is set up: a lack of room runs the call again on them.
  WithheldSpace withheld(ctx);
  int32_t length;
  const char* copy = withheld.TextCopy(nargin - 1, &length);
  if (!copy) return kErrDataOverflow;
  if (ErrCode e = EvaluateInPlaceOfInputs(ctx, copy, length, CurrentScope(ctx), nargin, nargout,
                                          kEvalKeepAns))
    return e;
  // The text's own frame is the sandboxed one.
  MarkFrameAsEntry(ctx);
  return kOk;
}

ErrCode SandboxTrustNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  char name[kMaxNameWithLibrary + 1];
  int32_t length = 0;
  const ValueDescriptor* d = DescAt(ctx, 0);
  if (IsTypedKind(*d, kKindFuncRef) && !IsStructured(*d)) {
    const char* bytes;
    GetStringData(DataAt(ctx, 0), &bytes, &length);
    if (length > kMaxNameWithLibrary) return kErrUndefFun;
    std::memcpy(name, bytes, static_cast<size_t>(length));
  } else if (!IsCharArray(ctx, 0) || GetStringArgToBuffer(ctx, 0, name, sizeof name, &length)) {
    return kErrWrongTypeOverload;
  }
  ErrCode error = kOk;
  const int32_t f = FindFunctionQualified(ctx, name, length, CurrentScope(ctx), &error);
  if (error) return error;
  if (f < 0) return kErrUndefFun;
  if (ErrCode e = Drop(ctx)) return e;
  if (GetFunctionEntry(ctx, f)->code <= 0)
    if (ErrCode e = CompileFunctionEntry(ctx, f, nullptr, 0, 1)) return e;
  // Compiling may have moved the code: the entry is read again.
  const FunctionTableEntry* entry = GetFunctionEntry(ctx, f);
  if (!entry || entry->code <= 0) return kErrUndefFun;
  uint8_t* header = ctx->CodeBytes() + 2ull * static_cast<uint32_t>(entry->code);
  Store<uint16_t>(header, Load<uint16_t>(header) | kFnTrusted);
  return kOk;
}

ErrCode Str2objNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  const int32_t wanted = nargout < 1 ? 1 : nargout;
  // A copy of the text is read: the argument stays as given for a run again
  // after a lack of room.
  const NumericView source = ViewNumeric(ctx, 0);
  if (source.cls != ValueClass::kChar) return kErrWrongType;
  std::string text(static_cast<size_t>(source.shape.count), '\0');
  for (int32_t i = 0; i < source.shape.count; i++)
    text[i] = static_cast<char>(source.elements[2 * i]);
  const auto length = static_cast<int32_t>(text.size());
  int32_t count;
  if (ErrCode e = EvaluateValueList(ctx, text.c_str(), length, &count)) return e;
  if (count != wanted) {
    Drop(ctx, count);
    return count > wanted ? kErrTooFewArgout : kErrTooManyArgout;
  }
  return DropStackEntries(ctx, count, 1);
}

}  // namespace vke
