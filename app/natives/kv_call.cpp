// kvcall(id, name, args...): calls the function another instance offers by
// name (its "callable" element, kind 17) as that instance's handlers are
// called: the standard inputs its descriptor names come from the target
// instance and go before the caller's arguments, the descriptor's outputs
// are stored in the target's variables, and the function's further outputs
// are the caller's. The call goes through the engine's call-back: the
// native is entered again, with its saved state under the results, when the
// function has returned.
#include <cstring>

#include "app/handler_elements.hpp"
#include "app/handler_runner_internal.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/natives/app_natives.hpp"
#include "app/natives/native_context.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/frames/calls.hpp"
#include "engine/memory_retry.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// The longest function name a callable element may give.
constexpr int32_t kMaxCallName = 255;
// The saved state under the function value: the target id and the name
// the caller gave, as the call found them, and the descriptor's offset from
// the target's instance start.
constexpr int32_t kSavedEntries = 3;

// The descriptor offset of the target's callable element of that name;
// 10040 when it has none, 10041 for no such instance.
ErrCode FindKVCallFunction(KVContextBlock* block, int32_t id, std::string_view name,
                           int32_t* offset) {
  for (int32_t at = -1;;) {
    if (ErrCode e = FindElement(block, id, &at, kElemFunction)) return e;
    ElementListView list;
    ElementRef element;
    std::string_view text;
    if (InstanceElementAt(block, id, at, &list, &element) && ElementText(list, element, 0, &text) &&
        text == name && DescriptorOffsetInList(list, element, offset))
      return kOk;
  }
}

ErrCode ReadDescriptor(KVContextBlock* block, int32_t id, int32_t offset, DescriptorCodes* codes) {
  uint32_t start;
  if (ErrCode e = FindInstanceStart(block, id, &start)) return e;
  return codes->Read(block, start, offset) ? ErrCode{kOk} : ErrCode{kKvUndefElement};
}

ErrCode StartCall(KVContextBlock* block, int32_t nargin, int32_t nargout) {
  EngineContext* ctx = block->Engine();
  const int32_t args = nargin - 2;
  double idValue;
  if (ErrCode e = GetScalarArg(ctx, nargin - 1, &idValue)) return e;
  const auto id = static_cast<int32_t>(idValue);
  char name[kMaxCallName + 1];
  int32_t length;
  // A name longer than the room is the name of no function.
  if (ErrCode e = GetStringArgToBuffer(ctx, nargin - 2, name, sizeof name, &length))
    return e == kErrObjTooLarge ? kKvUndefElement : e;
  int32_t offset;
  if (ErrCode e = FindKVCallFunction(block, id, std::string_view(name, length), &offset)) return e;
  DescriptorCodes codes;
  if (ErrCode e = ReadDescriptor(block, id, offset, &codes)) return e;
  if (codes.Function() < 0) return kErrIllegal;
  const char* function;
  int32_t functionLength;
  if (ErrCode e = FindVariableSlot(block->NameArea(), codes.Function(), &function, &functionLength))
    return e;
  std::memcpy(name, function, static_cast<size_t>(functionLength));
  const auto scope = static_cast<int32_t>(GetInstanceHeaderWord(block, id));

  // id name args...  ->  id name offset ref inputs... args...: what is
  // pushed goes on top first, so that a push without room drops it and
  // leaves the call as it came, to be made again once the area has grown.
  const auto inputs = static_cast<int32_t>(codes.Inputs());
  int32_t pushed = 0;
  const auto fail = [&](ErrCode e) {
    Drop(ctx, pushed);
    return e;
  };
  if (ErrCode e = PushRealScalar(ctx, offset)) return e;
  pushed++;
  if (ErrCode e = PushFunctionReference(ctx, name, functionLength, scope, nullptr)) return fail(e);
  pushed++;
  HandlerRequest target;
  target.instance = id;
  for (int32_t i = 0; i < inputs; i++) {
    ErrCode e = PushHandlerInput(block, target, codes.Input(static_cast<uint32_t>(i)));
    if (e == kKvNonexistentUndoSet) e = PushEmptyMatrix(ctx);
    if (e) return fail(e);
    pushed++;
  }
  if (ErrCode e = RollStackEntries(ctx, args + pushed, args)) return fail(e);
  const uint32_t level = ctx->descTop;
  const int32_t outputs = static_cast<int32_t>(codes.Outputs()) + (nargout > 0 ? nargout : 0);
  const ErrCode e = CallFunctionValue(ctx, inputs + args, inputs + args, outputs, 1);
  // A call without room for its frame that left its entries as they came
  // gets the stack back as the native found it.
  if (IsEngineMemoryCode(e) && ctx->descTop == level &&
      RollStackEntries(ctx, args + pushed, pushed) == kOk)
    return fail(e);
  return e;
}

// Entered again with the function's results on top: the descriptor's
// outputs (the first ones) stored for the target, the rest left as the
// caller's outputs.
ErrCode FinishCall(KVContextBlock* block, int32_t results, int32_t nargout) {
  EngineContext* ctx = block->Engine();
  double idValue, offsetValue;
  if (ErrCode e = GetScalarArg(ctx, results + kSavedEntries, &idValue)) return e;
  if (ErrCode e = GetScalarArg(ctx, results + 1, &offsetValue)) return e;
  const auto id = static_cast<int32_t>(idValue);
  DescriptorCodes codes;
  if (ErrCode e = ReadDescriptor(block, id, static_cast<int32_t>(offsetValue), &codes)) return e;
  const auto stored = static_cast<int32_t>(codes.Outputs());
  if (results < stored) return kErrTooFewArgout;
  HandlerRequest target;
  target.instance = id;
  // All of them or none: a shortage stores nothing, and this entry is made
  // again with the same results once the undo buffer has grown.
  if (ErrCode e = ReserveOutputRoom(block, target, codes)) return ReentryUnchanged(ctx, e);
  uint32_t next = 0;
  if (ErrCode e = StoreHandlerOutputs(block, target, codes, &next)) return e;
  if (stored > 0)
    if (InstanceRecord* r = FindInstance(block, id)) r->redrawPending = 1;
  if (ErrCode e = DropStackEntries(ctx, results - stored, kSavedEntries + 1)) return e;
  return nargout < 0 ? PushNoValue(ctx) : kOk;
}

}  // namespace

ErrCode KvCallNative(EngineContext*, int32_t nargin, int32_t nargout, uintptr_t user) {
  KVContextBlock* block = BlockOfNativeUser(user);
  if (!block) return kErrBadContext;
  if (nargin < 0) return FinishCall(block, -(nargin + 1), nargout);
  return StartCall(block, nargin, nargout);
}

}  // namespace vke
