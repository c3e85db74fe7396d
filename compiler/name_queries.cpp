// Questions about one name: which (a variable, a user function, a native or
// builtin, or nothing), isglobal and iskeyword.
#include "builtins/builtin.hpp"
#include "builtins/builtin_helpers.hpp"
#include "compiler/tool_natives.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/names.hpp"
#include "engine/code/operators.hpp"
#include "engine/engine.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"
#include "engine/variables/variables.hpp"

namespace vke {

namespace {

constexpr int32_t kAnswerBytes = 128;
constexpr int32_t kGlobalOwner = -1;

// The variable of that name in the innermost frame that has variables: its
// slot block (-1 while it is unset); false when there is none of that name.
bool FindFrameVariable(EngineContext* ctx, const char* name, int32_t length, int32_t* slot) {
  const int32_t f = InnermostVariableFrame(ctx);
  if (f < 0 || length < 1 || length > kFrameNameBytes) return false;
  const auto count = static_cast<int32_t>(FrameWords(ctx, f)[kFwVarCount]);
  for (int32_t i = 0; i < count; i++) {
    const char* v = FrameVariableName(ctx, f, i);
    if (v && strnlen(v, kFrameNameBytes) == static_cast<size_t>(length) &&
        std::memcmp(v, name, length) == 0) {
      *slot = static_cast<int32_t>(FrameWords(ctx, f)[kFrameHeaderWords + i]);
      return true;
    }
  }
  return false;
}

// Reads the name input; a text too long for a name is no name.
ErrCode ReadQueryName(EngineContext* ctx, char* name, int32_t* length, bool* tooLong) {
  ErrCode e = GetStringArgToBuffer(ctx, 0, name, kToolNameBytes, length);
  *tooLong = e == kErrObjTooLarge;
  return *tooLong ? kOk : e;
}

}  // namespace

ErrCode WhichNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  char name[kToolNameBytes];
  int32_t length = 0;
  bool tooLong;
  if (ErrCode e = ReadQueryName(ctx, name, &length, &tooLong)) return e;
  char answer[kAnswerBytes];
  int32_t at = 0;
  int32_t fn, slot;
  ErrCode lookup = kOk;
  if (tooLong) {
    // No name this long: the answer stays empty.
  } else if (FindFrameVariable(ctx, name, length, &slot)) {
    AppendCString(answer, &at, "(var)/", sizeof answer);
    AppendBytes(answer, &at, name, length, sizeof answer);
  } else if ((fn = FindNamedFunction(ctx, name, length, CurrentScope(ctx), &lookup)) >= 0) {
    GetFunctionNameAndLine(ctx, fn, answer, sizeof answer, &at);
  } else if ((length < static_cast<int32_t>(sizeof NativeFunctionRecord::name) &&
              FindLibraryRecord(ctx, name, nullptr, 0, nullptr)) ||
             FindBuiltinRecord(name, length)) {
    AppendCString(answer, &at, "(native)/", sizeof answer);
    AppendBytes(answer, &at, name, length, sizeof answer);
  }
  if (ErrCode e = PushCString(ctx, at, answer)) return e;
  return DropInputsUnderResult(ctx, nargin);
}

ErrCode IsglobalNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  char name[kToolNameBytes];
  int32_t length = 0;
  bool tooLong;
  if (ErrCode e = ReadQueryName(ctx, name, &length, &tooLong)) return e;
  int32_t owner, slot;
  const bool global = !tooLong && FindFrameVariable(ctx, name, length, &slot) &&
                      GetLinkOwner(ctx, slot, &owner) && owner == kGlobalOwner;
  if (ErrCode e = PushLogicalScalar(ctx, global ? 1 : 0)) return e;
  return DropInputsUnderResult(ctx, nargin);
}

ErrCode IskeywordNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin == 0) {
    int32_t n = 0;
    for (; kKeywords[n][0]; n++)
      if (ErrCode e = PushCString(ctx, -1, kKeywords[n])) {
        Drop(ctx, n);
        return e;
      }
    if (ErrCode e = PushListFromEntries(ctx, n, false, nullptr, 0)) {
      Drop(ctx, n);
      return e;
    }
    return kOk;
  }
  char name[kToolNameBytes];
  int32_t length = 0;
  bool tooLong;
  if (ErrCode e = ReadQueryName(ctx, name, &length, &tooLong)) return e;
  bool keyword = false;
  for (int32_t n = 0; !tooLong && !keyword && kKeywords[n][0]; n++)
    keyword = StringsEqual(kKeywords[n], -1, name, length, false);
  if (ErrCode e = PushLogicalScalar(ctx, keyword ? 1 : 0)) return e;
  return DropInputsUnderResult(ctx, nargin);
}

}  // namespace vke
