// Finding functions by name at run time and calling them: method libraries
// of object arguments, the caller's scope, then any library; natives and
// builtins after the user functions; the argument counts of a function
// name or value; and the builtin exist.
#include "builtins/builtin.hpp"
#include "builtins/option_text.hpp"
#include "compiler/compile_calls.hpp"
#include "engine/code/function_ref.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/registry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kNativeUnbounded = 64;
constexpr int32_t kMaxParentDepth = 8;

// Splits "lib::name".
void SplitQualified(const char* name, int32_t length, const char** library, int32_t* libLength,
                    const char** base, int32_t* baseLength) {
  *library = nullptr;
  *libLength = 0;
  *base = name;
  *baseLength = length;
  for (int32_t i = 0; i + 1 < length; i++)
    if (name[i] == ':' && name[i + 1] == ':') {
      *library = name;
      *libLength = i;
      *base = name + i + 2;
      *baseLength = length - i - 2;
      return;
    }
}

// A method of the class of an object (kind: its kind word), or of a parent
// class stored in one of its fields.
int32_t FindMethod(EngineContext* ctx, const char* name, int32_t length, int32_t kind,
                   const uint8_t* items, const uint8_t* end, int32_t level) {
  int32_t library = FindLibraryEntryById(ctx, ObjectClassId(kind));
  if (library > 0) {
    int32_t f = FindFunction(ctx, name, length, nullptr, 0, library, false, nullptr);
    if (f >= 0) return f;
  }
  if (level >= kMaxParentDepth) return -1;
  for (const uint8_t* item = items; item + 16 <= end; item += ItemBytes(item)) {
    ValueDescriptor d = Load<ValueDescriptor>(item);
    if (!IsStructured(d) || !IsObjectKind(d.word)) continue;
    int32_t f =
        FindMethod(ctx, name, length, d.word, item + 16, item + 16 + 8ull * d.size, level + 1);
    if (f >= 0) return f;
  }
  return -1;
}

// The first object among the top `args` entries, from the last argument.
int32_t FindMethodOfArguments(EngineContext* ctx, const char* name, int32_t length, int32_t args) {
  for (int32_t depth = 0; depth < args; depth++) {
    const ValueDescriptor* d = DescAt(ctx, depth);
    if (!IsStructured(*d) || !IsObjectKind(d->word)) continue;
    const uint8_t* data = DataAt(ctx, depth);
    return FindMethod(ctx, name, length, d->word, data, data + 8ull * d->size, 0);
  }
  return -1;
}

int32_t NativeMaximum(uint8_t count) {
  return count & kNativeUnbounded ? kNoMaximumCount : count;
}

ErrCode RaiseNamed(EngineContext* ctx, ErrCode code, const char* name, int32_t length,
                   int32_t integer = -1) {
  char copy[80];
  if (length > 79) length = 79;
  std::memcpy(copy, name, length);
  copy[length] = 0;
  return RaiseError(ctx, code, -1, 0, integer, copy);
}

// The first native record of the name that compiled code may call directly.
const NativeFunctionRecord* FindPlainNative(EngineContext* ctx, const char* name, int32_t length) {
  if (length > 31) return nullptr;
  char key[32];
  std::memcpy(key, name, length);
  key[length] = 0;
  const NativeFunctionRecord* r = nullptr;
  while ((r = FindLibraryRecord(ctx, key, r, 0, nullptr)))
    if (r->kind < 1 && r->function) return r;
  return nullptr;
}

// The native of the type of the first argument (in argument order) that is
// a library's value, for the name and counts; null when there is none.
const NativeFunctionRecord* FindArgumentTypeNative(EngineContext* ctx, const char* name,
                                                   int32_t length, int32_t inputs,
                                                   int32_t outputs) {
  if (length > 31) return nullptr;
  char key[32];
  std::memcpy(key, name, length);
  key[length] = 0;
  for (int32_t depth = inputs - 1; depth >= 0; depth--) {
    const ValueDescriptor* d = DescAt(ctx, depth);
    if (IsTyped(*d) && !IsStructured(*d) && d->word >= kKindLibrary)
      return FindTypeNative(ctx, d->word, key, inputs, outputs);
  }
  return nullptr;
}

}  // namespace

int32_t FindFunctionGlobally(EngineContext* ctx, const char* name, int32_t length,
                             const char* library, int32_t libraryLength) {
  int32_t f = FindFunction(ctx, name, length, library, libraryLength, 0, false, nullptr);
  if (f >= 0) return f;
  int32_t nameId = FindName(ctx, name, length);
  int32_t libraryId = library ? FindName(ctx, library, libraryLength) : 0;
  if (!nameId || (library && !libraryId)) return -1;
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    const FunctionTableEntry& e = entries[i];
    if (e.nameId != nameId || (libraryId && e.libraryId != libraryId)) continue;
    if ((e.info & kEntryPrivate) && !ctx->showPrivate) continue;
    return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t FindFunctionByName(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                           int32_t args, ErrCode* error) {
  *error = kOk;
  const char *library, *base;
  int32_t libLength, baseLength;
  SplitQualified(name, length, &library, &libLength, &base, &baseLength);
  int32_t f = -1;
  if (!library && args > 0) f = FindMethodOfArguments(ctx, base, baseLength, args);
  if (f < 0) f = FindFunction(ctx, base, baseLength, library, libLength, scope, true, nullptr);
  if (f < 0) f = FindFunctionGlobally(ctx, base, baseLength, library, libLength);
  if (f < 0) return -1;
  if (GetFunctionEntry(ctx, f)->code <= 0) {
    *error = CompileFunctionEntry(ctx, f, nullptr, 0, 1);
    if (*error) return -1;
  }
  return f;
}

ErrCode CallFunctionNamed(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                          int32_t inputs, int32_t outputs, bool skipUser, bool callBack) {
  if (length < 1) return kErrNullName;
  // Code read from an image may claim inputs the frame does not hold: the
  // search for a method or a library's type would read entries below it.
  if (inputs < 0 || !HasEntriesAboveFrame(ctx, inputs)) return kErrIllegal;
  // The loop's mark of its call of a function value goes to a native, or to
  // feval or builtin that pass it on, alone (see kReentryThroughValue): the
  // searches and compilations on the way, and any other callee, run
  // without it.
  const int32_t reentry = ctx->reentryOpcode;
  ctx->reentryOpcode = 0;
  auto callNative = [&](const NativeFunctionRecord* r) {
    ctx->reentryOpcode = reentry;
    const ErrCode e = CallNativeRecord(ctx, r, inputs, outputs);
    ctx->reentryOpcode = 0;
    return e;
  };
  if (!skipUser) {
    ErrCode e;
    int32_t f = FindFunctionByName(ctx, name, length, scope, inputs, &e);
    if (e) return e;
    if (f >= 0) {
      CallInfo info;
      info.returnTo = {ctx->cpKind, ctx->cpOffset};
      info.scope = static_cast<int32_t>(GetFunctionEntry(ctx, f)->info & kEntrySourceMask);
      info.callBack = callBack;
      return CallCompiledFunction(ctx, info, f, inputs, outputs);
    }
  }
  const int32_t wanted = outputs < 0 ? 0 : outputs;
  // A native or builtin runs at once; called as a statement, one that gives
  // nothing leaves the no-value marker, as a function's return does. The
  // marker's room is asked for before the callee acts, so that a refusal
  // leaves nothing done (a text printed) for the run after growth to do
  // again; the marker then takes the room its inputs left, or the room
  // found, without asking again.
  const uint32_t top = ctx->descTop - 3u * static_cast<uint32_t>(inputs);
  const int32_t frame = ctx->curFrame;
  auto statementResult = [&](ErrCode e) {
    if (e || outputs >= 0 || ctx->curFrame != frame || ctx->descTop != top) return e;
    const RoomRequestsPaused roomFound;
    return PushNoValue(ctx);
  };
  // One that refuses typed operands runs again with them as doubles, as it
  // would when called directly.
  auto withDoubles = [&](auto call) {
    if (outputs < 0)
      if (ErrCode e = CheckRoomToPush(ctx, 0, false)) return e;
    ErrCode e = call();
    if (e == kErrWrongTypeOverload) {
      // Without room for the doubles, the shortage is the failure.
      bool converted = false;
      const ErrCode converting = ConvertPlainOperandsToDouble(ctx, inputs, &converted);
      if (converting) return converting;
      if (converted) e = call();
    }
    return statementResult(e);
  };
  // A value of a library's own type, the first in argument order, finds
  // that library's native of the name.
  if (const NativeFunctionRecord* r =
          skipUser ? nullptr : FindArgumentTypeNative(ctx, name, length, inputs, outputs))
    return withDoubles([&] { return callNative(r); });
  if (const NativeFunctionRecord* r = FindPlainNative(ctx, name, length)) {
    if (inputs < r->minIn || inputs > NativeMaximum(r->maxIn))
      return RaiseNamed(ctx, kErrIncorrectNargin, name, length, inputs);
    if (wanted > NativeMaximum(r->maxOut))
      return RaiseNamed(ctx, kErrIncorrectNargout, name, length, wanted);
    return withDoubles([&] { return callNative(r); });
  }
  if (const BuiltinRecord* b = FindBuiltinRecord(name, length)) {
    const CountLimits in = DecodeCountCode(b->inputCode), out = DecodeCountCode(b->outputCode);
    if (inputs < in.min || inputs > in.max)
      return RaiseNamed(ctx, kErrIncorrectNargin, name, length, inputs);
    if (wanted > out.max || (!IsVariableCount(b->outputCode) && outputs >= 0 && wanted != out.min))
      return RaiseNamed(ctx, kErrIncorrectNargout, name, length, wanted);
    int16_t words[3] = {static_cast<int16_t>(b->id)};
    int32_t k = 1;
    if (IsVariableCount(b->inputCode)) words[k++] = static_cast<int16_t>(inputs);
    if (IsVariableCount(b->outputCode)) words[k++] = static_cast<int16_t>(outputs);
    // feval and builtin reached so call their value as the caller's own.
    const bool passesOn = b->id == kOpFeval || b->id == kOpBuiltin;
    return withDoubles([&] {
      ctx->reentryOpcode = passesOn ? reentry : 0;
      const ErrCode e = CallBuiltin(ctx, words);
      ctx->reentryOpcode = 0;
      return e;
    });
  }
  return RaiseNamed(ctx, kErrUndefFun, name, length);
}

ErrCode ResolveFunctionInScope(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                               int32_t* maxIn, int32_t* maxOut, uint8_t* varargin,
                               uint8_t* varargout) {
  uint8_t vin = 0, vout = 0;
  ErrCode e;
  int32_t f = FindFunctionByName(ctx, name, length, scope, 0, &e);
  if (e) return e;
  if (f >= 0) {
    const FunctionHeader h =
        ReadFunctionHeader(ctx->CodeBytes() + 2ull * GetFunctionEntry(ctx, f)->code);
    *maxIn = h.inputs;
    *maxOut = h.outputs;
    vin = h.Varargin();
    vout = h.Varargout();
  } else if (const NativeFunctionRecord* r = FindPlainNative(ctx, name, length)) {
    *maxIn = NativeMaximum(r->maxIn);
    *maxOut = NativeMaximum(r->maxOut);
    vin = (r->maxIn & kNativeUnbounded) != 0;
    vout = (r->maxOut & kNativeUnbounded) != 0;
  } else if (const BuiltinRecord* b = FindBuiltinRecord(name, length)) {
    *maxIn = DecodeCountCode(b->inputCode).max;
    *maxOut = DecodeCountCode(b->outputCode).max;
  } else {
    return RaiseNamed(ctx, kErrUndefFunOrVar, name, length);
  }
  if (varargin) *varargin = vin;
  if (varargout) *varargout = vout;
  return kOk;
}

ErrCode ResolveFunctionInLibrary(EngineContext* ctx, const char* name, int32_t length,
                                 const char* library, int32_t libraryLength, int32_t* maxIn,
                                 int32_t* maxOut, uint8_t* varargin, uint8_t* varargout) {
  int32_t scope = 0;
  if (library && libraryLength > 0) {
    int32_t id = FindName(ctx, library, libraryLength);
    scope = id ? FindLibraryEntryById(ctx, id) : -1;
    if (scope < 0) scope = 0;
  }
  return ResolveFunctionInScope(ctx, name, length, scope, maxIn, maxOut, varargin, varargout);
}

ErrCode ResolveValueCounts(EngineContext* ctx, int32_t depth, int32_t scope, int32_t* maxIn,
                           int32_t* maxOut) {
  FunctionValue v;
  if (ErrCode e = ReadFunctionValue(ctx, depth, scope, &v)) return e;
  if (v.isInline) {
    *maxIn = v.header.inputs - (v.captured ? 1 : 0);
    *maxOut = v.header.outputs;
    return kOk;
  }
  return ResolveFunctionInScope(ctx, v.name, v.length, v.scope, maxIn, maxOut, nullptr, nullptr);
}

ErrCode ExistBuiltin(EngineContext* ctx, int32_t nargin, int32_t, int32_t) {
  // The kind read where it lies, so that a call run again after growth
  // finds it as given.
  char kind = 0;
  if (nargin == 2) {
    const OptionText text(ctx, 0);
    if (!text.IsText()) return kErrWrongTypeOverload;
    if (text.Is("v") || text.Is("f") || text.Is("b")) kind = static_cast<char>(text.Initial());
  }
  char name[kMaxIdentifierLength + 1];
  int32_t length;
  ErrCode e = GetStringArgToBuffer(ctx, nargin - 1, name, sizeof name, &length);
  bool found = false;
  if (e == kOk && length > 0) {
    const bool any = kind != 'v' && kind != 'f' && kind != 'b';
    if (kind == 'v' || any) {
      const int32_t vars = InnermostFrameVariables(ctx);
      for (int32_t i = 0; i < vars && !found; i++) {
        const char* v = GetVariableName(ctx, i);
        found = v && strnlen(v, 32) == static_cast<size_t>(length) &&
                !std::memcmp(v, name, length) && VariableIsSet(ctx, i);
      }
    }
    if (!found && (kind == 'f' || any)) {
      int32_t f = FindFunctionGlobally(ctx, name, length, nullptr, 0);
      if (f < 0) f = FindFunction(ctx, name, length, nullptr, 0, CurrentScope(ctx), true, nullptr);
      found = f >= 0 && GetFunctionEntry(ctx, f)->code > 0;
    }
    if (!found && (kind == 'b' || any))
      found = FindPlainNative(ctx, name, length) || FindBuiltinRecord(name, length);
  } else if (e == kErrObjTooLarge) {
    return kErrNameTooLong;  // longer than any name can be
  } else if (e != kErrBadArg && e != kOk && e != kErrFunNotFound) {
    return e == kErrWrongType ? kErrWrongTypeOverload : e;
  }
  return ReplaceInputsWithLogical(ctx, nargin, found);
}

}  // namespace vke
