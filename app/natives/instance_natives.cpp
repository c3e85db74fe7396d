// The natives through which a KV application talks to its own instance and
// to the others: cancel, the title, version and help texts, idle processing,
// the current language, the list of instances and their titles, and the
// "+genericFun" hook of the application library.
#include "app/instance_info.hpp"
#include "app/instances.hpp"
#include "app/languages.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/native_context.hpp"
#include "app/undo_values.hpp"
#include "engine/errors/raise.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

// The identified errors of kvinstancetitle.
constexpr char kBadInstanceId[] = "kv:badInstanceId";
constexpr char kBadInstanceIdMessage[] = "Bad KV instance ID";
constexpr char kTitleError[] = "kv:title";
constexpr char kTitleErrorMessage[] = "Cannot get title of KV instance";

// Pushes a logical as an output: nothing with no output asked, the value
// otherwise (a statement counting as one output).
ErrCode PushTruthOutput(EngineContext* ctx, int32_t nargout, uint8_t truth) {
  return nargout == 0 ? kOk : PushLogicalScalar(ctx, truth);
}

// Pushes the text as a char row (UTF-8, as the element texts are).
ErrCode PushText(EngineContext* ctx, std::string_view text) {
  return PushUtf8String(ctx, static_cast<int32_t>(text.size()), text.data());
}

int32_t InfoVariable(char letter) {
  return letter == 't' ? kVarTitle : letter == 'v' ? kVarVersion : kVarHelp;
}

}  // namespace

ErrCode FindCurrentInstance(uintptr_t user, CurrentInstance* out) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  const auto id = static_cast<int32_t>(block->nativeCall.instanceId);
  InstanceRecord* record = FindInstance(block, id);
  if (!record) return kErrBadContext;
  *out = {block, id, record};
  return kOk;
}

ErrCode CancelNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t user) {
  if (nargin == 1) {
    uint8_t proceed;
    if (ErrCode e = PopBooleanArg(ctx, &proceed)) return e;
    // cancel(false): the handler ends, and what it leaves stays as it is.
    KVContextBlock* block = BlockOfNativeUser(user);
    if (!proceed && block) block->nativeCall.flags |= kCallFlagQuietCancel;
  }
  return kStatusNoPrint;
}

ErrCode PushCurrentInstanceInfo(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user,
                                char letter) {
  CurrentInstance current;
  if (ErrCode e = FindCurrentInstance(user, &current)) return e;
  if (nargin == 1) {
    if (!IsCharArray(ctx, 0)) {
      // Any other value stands for "no text": the KV file's text comes back.
      // The empty value is pushed before the argument goes, so that a push
      // without room leaves the call as it came.
      Shape shape;
      if (GetValueShape(ctx, 0, &shape)) return kErrWrongTypeOverload;
      if (ErrCode e = PushEmptyMatrix(ctx)) return e;
      if (ErrCode e = DropStackEntries(ctx, 1, 1)) return e;
    }
    ErrCode e = StoreUndoValue(current.block, current.id, 0, InfoVariable(letter));
    if (e) return e;
    if (nargout < 0) return PushNoValue(ctx);
  }
  if (nargout == 0) return kOk;
  return GetInstanceInfoText(current.block, current.id, letter, false);
}

ErrCode IdleStateNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user) {
  CurrentInstance current;
  if (ErrCode e = FindCurrentInstance(user, &current)) return e;
  if (nargin == 1) {
    uint8_t on;
    if (ErrCode e = GetBooleanArg(ctx, 0, &on)) return e;
    current.record->idleHandler = on ? 1 : 0;
    // The answer takes the room of the argument.
    return nargout > 0 ? ReplaceInputsWithLogical(ctx, 1, on)
                       : ReplaceInputsWithNothing(ctx, 1, nargout);
  }
  return PushTruthOutput(ctx, nargout, current.record->idleHandler);
}

ErrCode CurrentLanguageNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user) {
  CurrentInstance current;
  if (ErrCode e = FindCurrentInstance(user, &current)) return e;
  if (nargin == 1) {
    const char* text;
    int32_t length;
    if (!IsCharArray(ctx, 0) || GetStringArg(ctx, 0, &text, &length)) return kErrWrongTypeOverload;
    // A change is no failure: the handler runner runs the new language's
    // init handlers once the calling handler has finished.
    const ErrCode e =
        SelectLanguageByName(current.block, current.id, std::string_view(text, length));
    if (e && e != kStatusInstanceChanged) return e;
    if (nargout <= 0) return ReplaceInputsWithNothing(ctx, 1, nargout);
    if (ErrCode dropped = Drop(ctx)) return dropped;
  }
  if (nargout == 0) return kOk;
  int32_t offset;
  std::string_view code, name;
  if (ErrCode e = GetCurrentLanguage(current.block, current.id, &offset, &code, &name)) return e;
  if (nargout >= 2)
    if (ErrCode e = PushText(ctx, name)) return e;
  return PushText(ctx, code);
}

ErrCode CurrentInstanceNative(EngineContext* ctx, int32_t, int32_t, uintptr_t user) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  return PushRealScalar(ctx, block->nativeCall.instanceId);
}

ErrCode InstancesNative(EngineContext* ctx, int32_t, int32_t, uintptr_t user) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  double* ids;
  if (ErrCode e = PushNewMatrix(ctx, 1, block->instanceCount, &ids, nullptr)) return e;
  for (int32_t i = 0; i < block->instanceCount; i++) ids[i] = InstanceRecordAt(block, i)->id;
  return kOk;
}

ErrCode InstanceTitleNative(EngineContext* ctx, int32_t, int32_t, uintptr_t user) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  const ValueClass cls = ViewNumeric(ctx, 0).cls;
  if (cls == ValueClass::kChar || cls == ValueClass::kOther) return kErrWrongTypeOverload;
  if (ErrCode e = ConvertToFloat(ctx, 0, false)) return e;
  double value;
  if (ErrCode e = GetScalarArg(ctx, 0, &value)) return e;
  const auto id = static_cast<int32_t>(value);
  if (ErrCode e = Drop(ctx)) return e;
  const ErrCode e = GetInstanceInfoText(block, id, 't', false);
  if (e == kKvNonexistentInstance)
    return RaiseErrorById(ctx, kBadInstanceId, -1, kBadInstanceIdMessage, -1);
  if (e) return RaiseErrorById(ctx, kTitleError, -1, kTitleErrorMessage, -1);
  return kOk;
}

ErrCode GenericFunctionHook(EngineContext*, const char*, int32_t, int32_t flag, int32_t, int32_t,
                            uintptr_t user) {
  // Instance ids start at 0, so the first instance is "current" whenever no
  // handler runs: names are taken only while one does, never while the
  // packing tool compiles the sources (whose unknown names are functions
  // of sources compiled later).
  CurrentInstance current;
  if (ErrCode e = FindCurrentInstance(user, &current)) return e;
  if (!current.block->handlerBusy) return kErrBadContext;
  return flag != 0 ? kErrNotSupported : kOk;
}

}  // namespace vke
