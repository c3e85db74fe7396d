// Names inside expressions: variables, user and library functions, natives,
// builtins and the "+genericFun" hooks, in that order of resolution; calls
// with their argument and output counts checked against the callee; and the
// calls that implement operators.
#include "builtins/builtin.hpp"
#include "builtins/matrix_ops.hpp"
#include "compiler/compile_expr.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/registry.hpp"

namespace vke {

namespace {

// A native's maximum count with the bit of value 64 set has no limit.
constexpr int32_t kNativeUnbounded = 64;

int32_t NativeMaximum(uint8_t count) {
  return count & kNativeUnbounded ? kNoMaximumCount : count;
}

using GenericFunHookFn = ErrCode (*)(EngineContext* ctx, const char* name, int32_t length, int32_t,
                                     int32_t, int32_t, uintptr_t option);

void DescribeNative(EngineContext* ctx, const NativeFunctionRecord* r, int32_t index, Callee* c) {
  (void)ctx;
  c->kind = Callee::kNative;
  c->nativeIndex = index;
  c->minIn = r->minIn;
  c->maxIn = NativeMaximum(r->maxIn);
  c->minOut = r->minOut;
  c->maxOut = NativeMaximum(r->maxOut);
}

void DescribeBuiltin(const BuiltinRecord* b, Callee* c) {
  c->kind = Callee::kBuiltin;
  c->builtin = b;
  CountLimits in = DecodeCountCode(b->inputCode), out = DecodeCountCode(b->outputCode);
  c->minIn = in.min;
  c->maxIn = in.max;
  c->minOut = out.min;
  c->maxOut = out.max;
}

ErrCode CountError(CompileUnit& u, ErrCode code, int32_t count, const char* name, int32_t length) {
  char copy[kMaxIdentifierLength + 8];
  if (length > kMaxIdentifierLength + 4) length = kMaxIdentifierLength + 4;
  std::memcpy(copy, name, length);
  copy[length] = 0;
  ErrorDetails d;
  d.integer = count;
  d.name = copy;
  return CompileErrorWith(u, code, d);
}

}  // namespace

ErrCode ExprCompiler::CallOutputs(const Callee& c, bool whole, int32_t* outputs) {
  const bool fixed = c.kind == Callee::kBuiltin && !IsVariableCount(c.builtin->outputCode);
  const int32_t asked = whole ? request->outputs : 1;
  if (asked >= 1) {
    if (asked > c.maxOut || (fixed && asked != c.minOut))
      return CountError(u, kErrIncorrectNargout, asked, c.name, c.nameLength);
    *outputs = asked;
    return kOk;
  }
  // A whole statement.
  const bool wants = request->wantsValue;
  if (c.kind == Callee::kUser || c.kind == Callee::kByName || c.kind == Callee::kIndex)
    *outputs = wants ? -1 : 0;
  else if (fixed || c.minOut >= 1)
    *outputs = c.minOut;
  else
    *outputs = wants && c.maxOut >= 1 ? -1 : 0;
  return kOk;
}

ErrCode ExprCompiler::EmitCall(const Callee& c, const GroupArgs& a, int32_t outputs) {
  const int32_t values = outputs < 0 ? 1 : outputs;
  const auto count = static_cast<int16_t>(a.count);
  const auto outs = static_cast<int16_t>(outputs);
  switch (c.kind) {
    case Callee::kBuiltin: {
      int16_t words[3] = {static_cast<int16_t>(c.builtin->id)};
      int32_t k = 1;
      if (IsVariableCount(c.builtin->inputCode)) words[k++] = count;
      if (IsVariableCount(c.builtin->outputCode)) words[k++] = outs;
      int32_t at = code.Pos();
      if (ErrCode e = code.PutWords(words, k)) return e;
      lastInstr = at;
      depth += values - a.count;
      return kOk;
    }
    case Callee::kNative:
      if (c.nativeIndex > INT16_MAX - kFirstNativeOpcode) return kErrNotSupported;
      return Emit({static_cast<int16_t>(kFirstNativeOpcode + c.nativeIndex), count, outs},
                  values - a.count);
    default:
      return Emit({kOpCallFn, static_cast<int16_t>(c.function), count, outs}, values - a.count);
  }
}

ErrCode ExprCompiler::ParseCall(Callee& c, const Level& level) {
  const int32_t save = pos;
  if (!level.bracket) SkipBlanks();
  GroupArgs a;
  if (c.genericName)
    if (ErrCode e = EmitName(c.name, c.nameLength)) return e;
  if (At() == '(') {
    int32_t p = pos + 1;
    while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
    if (p < n && t[p] == ')') {
      pos = p + 1;
    } else {
      pos++;
      if (ErrCode e = ParseArgs(')', false, 0, &a)) return e;
    }
  } else {
    pos = save;
  }
  if (c.genericName) a.count++;
  if (!a.flattened && (a.count < c.minIn || a.count > c.maxIn))
    return CountError(u, kErrIncorrectNargin, a.count, c.name, c.nameLength);
  const bool whole = level.mayBeWhole && RestIsBlank();
  if (a.flattened) {
    // The count is known at run time only: call by name.
    Callee byName = c;
    byName.kind = Callee::kByName;
    byName.maxOut = kNoMaximumCount;
    int32_t outputs;
    if (ErrCode e = CallOutputs(byName, whole, &outputs)) return e;
    bool isFeval = c.nameLength == 5 && std::memcmp(c.name, "feval", 5) == 0;
    ErrCode e = isFeval ? Emit({kOpPushEmpty}, 1) : EmitName(c.name, c.nameLength);
    if (!e)
      e = Emit({kOpCallValue, static_cast<int16_t>(a.count + 1), static_cast<int16_t>(outputs)},
               (outputs < 0 ? 1 : outputs) - a.count - 1);
    if (e) return e;
    wholeCall = whole;
    wholeCount = outputs;
    return kOk;
  }
  int32_t outputs;
  if (level.body && SubexprEndsHere()) {
    // All of an anonymous function's body: it may give nothing when the
    // function is called as a statement.
    outputs = c.maxOut >= 1 ? 1 : 0;
  } else if (ErrCode e = CallOutputs(c, whole, &outputs)) {
    return e;
  }
  if (ErrCode e = EmitCall(c, a, outputs)) return e;
  if (whole) {
    wholeCall = true;
    wholeCount = outputs;
  }
  return kOk;
}

ErrCode ExprCompiler::EmitOperatorCall(const OperatorRecord& row, int32_t args) {
  const char* name = row.name;
  const int32_t length = static_cast<int32_t>(std::strlen(name));
  const int32_t scope = u.request->scope;
  int32_t f = FindFunction(ctx, name, length, nullptr, 0, scope, true, nullptr);
  if (f >= 0)
    return Emit({kOpCallFn, static_cast<int16_t>(f), static_cast<int16_t>(args), 1}, 1 - args);
  int32_t index;
  const NativeFunctionRecord* r = nullptr;
  // The divisions reach a registered native through their builtins.
  while (!IsNativeServedOperator(name) && (r = FindLibraryRecord(ctx, name, r, 0, &index))) {
    if (r->kind >= 1 || args < r->minIn || args > NativeMaximum(r->maxIn) || r->minOut > 1 ||
        NativeMaximum(r->maxOut) < 1)
      continue;
    Callee c;
    DescribeNative(ctx, r, index, &c);
    GroupArgs a;
    a.count = args;
    return EmitCall(c, a, 1);
  }
  const BuiltinRecord* b = FindBuiltinRecord(name, length);
  if (!b) return kErrUndefFun;
  Callee c;
  DescribeBuiltin(b, &c);
  if (args < c.minIn || args > c.maxIn)
    return CountError(u, kErrIncorrectNargin, args, row.chars,
                      static_cast<int32_t>(std::strlen(row.chars)));
  if (c.minOut > 1 || c.maxOut < 1) return kErrUndefFun;
  GroupArgs a;
  a.count = args;
  return EmitCall(c, a, 1);
}

ErrCode ExprCompiler::ParseName(const Level& level, bool* flattened) {
  const int32_t start = pos;
  int32_t length = NameSpan(t, n, pos);
  const char* name = t + start;
  pos += length;
  const char* library = nullptr;
  int32_t libraryLength = 0;
  if (At() == ':' && At(1) == ':' && IsNameStart(At(2))) {
    library = name;
    libraryLength = length;
    name = t + pos + 2;
    length = NameSpan(t, n, pos + 2);
    pos += 2 + length;
  }
  const int32_t fullLength = pos - start;
  if (length > kMaxIdentifierLength || libraryLength > kMaxIdentifierLength) {
    ErrorDetails d;
    d.name = t + start;
    d.integer = fullLength;
    return CompileErrorWith(u, kErrNameTooLong, d);
  }
  if (!library) {
    const int32_t variable = u.vars.Find(name, length);
    const bool param = anon && NoteAnonymousUse(name, length, variable);
    if (variable >= 0 || param) return ParseChain(param ? -1 : variable, level, flattened);
  }
  Callee c;
  c.name = t + start;
  c.nameLength = fullLength;
  const int32_t scope = u.request->scope;
  int32_t f = FindFunction(ctx, name, length, library, libraryLength, scope, true, nullptr);
  if (f < 0 && !library) {
    bool handled = false;
    if (ErrCode e = ParseIndexKeyword(name, length, &handled)) return e;
    if (handled) return kOk;
    // Natives of kind below 1 first; a positive kind is noted for later.
    char key[kMaxIdentifierLength + 1];
    std::memcpy(key, name, length);
    key[length] = 0;
    const NativeFunctionRecord* r = nullptr;
    const NativeFunctionRecord* positive = nullptr;
    int32_t index = -1, positiveIndex = -1;
    while ((r = FindLibraryRecord(ctx, key, r, 0, &index)) && r->kind >= 1)
      if (!positive) positive = r, positiveIndex = index;
    if (r) {
      DescribeNative(ctx, r, index, &c);
      return ParseCall(c, level);
    }
    if (const BuiltinRecord* b = FindBuiltinRecord(name, length)) {
      DescribeBuiltin(b, &c);
      return ParseCall(c, level);
    }
    if (positive) {
      DescribeNative(ctx, positive, positiveIndex, &c);
      return ParseCall(c, level);
    }
    r = nullptr;
    while ((r = FindLibraryRecord(ctx, "+genericFun", r, 0, &index))) {
      if (!r->function) continue;
      auto hook = reinterpret_cast<GenericFunHookFn>(r->function);
      if (hook(ctx, key, length, 0, 0, 0, RecordUserData(ctx, r)) != kOk) continue;
      c.kind = Callee::kNative;
      c.nativeIndex = index;
      c.genericName = true;
      c.name = name;
      c.nameLength = length;
      return ParseCall(c, level);
    }
  }
  if (f < 0 && !library && u.request->unknownAsVariables) {
    int32_t variable;
    if (ErrCode e = u.vars.Add(name, length, &variable)) return e;
    return ParseChain(variable, level, flattened);
  }
  if (f < 0 && u.laterFunctions) {
    // Compiled later from its source when it is first called.
    if (ErrCode e =
            DefineFunctionEntry(ctx, name, length, library, libraryLength, 0, false, false, &f))
      return e;
  }
  if (f < 0) f = FindFunction(ctx, name, length, library, libraryLength, 0, false, nullptr);
  if (f < 0) {
    ErrorDetails d;
    d.name = t + start;
    d.integer = fullLength;
    return CompileErrorWith(u, kErrUnknownFun, d);
  }
  c.kind = Callee::kUser;
  c.function = f;
  return ParseCall(c, level);
}

}  // namespace vke
