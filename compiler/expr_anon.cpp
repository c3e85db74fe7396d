// Function references ("@name") and anonymous functions ("@(x, y) body").
//
// An anonymous function's body is compiled in place, so that its errors and
// the variables it reads are found, and then replaced by a call of the
// builtin inline: the body text, each parameter name, when the body reads
// variables of the enclosing code a list of their names and values
// ({name1, value1, name2, value2 ...}, captured now), and true when the body
// ends with a call that can give several outputs.
#include "compiler/compile_expr.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/errors/raise.hpp"

namespace vke {

namespace {

// Does the parameter list text name the parameter?
bool ListsParameter(const char* params, int32_t length, const char* name, int32_t nameLength) {
  int32_t p = 0;
  while (p < length) {
    while (p < length && !IsNameStart(params[p])) p++;
    int32_t k = NameSpan(params, length, p);
    if (k == nameLength && std::memcmp(params + p, name, k) == 0) return true;
    p += k > 0 ? k : 1;
  }
  return false;
}

}  // namespace

bool ExprCompiler::NoteAnonymousUse(const char* name, int32_t length, int32_t variable) {
  AnonContext* owner = anon;
  while (owner && !ListsParameter(owner->params, owner->paramsLength, name, length))
    owner = owner->outer;
  if (!owner && variable < 0) return false;  // not a variable: a function name
  // Every body inside the one that owns the name reads it from outside.
  for (AnonContext* a = anon; a != owner; a = a->outer) {
    bool known = false;
    for (int32_t i = 0; i < a->capturedCount && !known; i++)
      known = a->captured[i].length == length && !std::memcmp(a->captured[i].name, name, length);
    if (!known && a->capturedCount < static_cast<int32_t>(std::size(a->captured)))
      a->captured[a->capturedCount++] = {name, length, owner ? -1 : variable};
  }
  return owner != nullptr;
}

ErrCode ExprCompiler::ParseAt(const Level& level) {
  const int32_t at = pos++;
  if (IsNameStart(At())) {
    int32_t length = NameSpan(t, n, pos);
    if (At(length) == ':' && At(length + 1) == ':' && IsNameStart(At(length + 2)))
      length += 2 + NameSpan(t, n, pos + length + 2);
    if (ErrCode e = EmitName(t + pos, length)) return e;
    pos += length;
    return Emit({kOpMakeFunRef, static_cast<int16_t>(u.request->scope)}, 0);
  }
  if (At() != '(') {
    ErrorDetails d;
    d.integer = static_cast<uint8_t>(At());
    return CompileErrorWith(u, kErrBadFunRef, d);
  }
  // The parameter list: names separated by commas.
  const int32_t paramsStart = ++pos;
  int32_t paramCount = 0;
  for (;;) {
    SkipBlanks();
    if (At() == ')' && paramCount == 0) break;
    int32_t length = NameSpan(t, n, pos);
    if (!IsNameStart(At()) || length > kMaxIdentifierLength) return Lacking(kErrBadAnonFun);
    pos += length;
    paramCount++;
    SkipBlanks();
    if (At() == ',') {
      pos++;
      continue;
    }
    if (At() == ')') break;
    return Lacking(kErrBadAnonFun);
  }
  AnonContext context{t + paramsStart, pos - paramsStart, {}, 0, anon};
  pos++;
  SkipBlanks();
  const int32_t bodyStart = pos;
  const int32_t codeMark = code.Pos(), depthMark = depth;
  anon = &context;
  SubResult sub;
  Level body = level;
  body.mayBeWhole = false;
  body.body = true;
  const bool savedWhole = wholeCall;
  const int32_t savedCount = wholeCount;
  ErrCode e = ParseSubexpr(body, &sub);
  anon = context.outer;
  wholeCall = savedWhole;
  wholeCount = savedCount;
  if (e) return e;
  if (sub.flattened) return kErrMisplacedListFlattening;
  int32_t bodyEnd = pos;
  while (bodyEnd > bodyStart && (t[bodyEnd - 1] == ' ' || t[bodyEnd - 1] == '\t')) bodyEnd--;
  const bool multiOutput = lastInstr >= codeMark && IsMultiOutputCall(code.At(lastInstr)[0]);
  code.Truncate(codeMark);
  depth = depthMark;

  // inline(body, parameters..., captured, multi-output)
  int32_t args = 0;
  auto text = [&](const char* s, int32_t length) {
    ++args;
    uint32_t mark = u.scratch->Used();
    auto* chars = static_cast<uint16_t*>(u.scratch->Take(2u * static_cast<uint32_t>(length) + 2));
    if (!chars) return ErrCode{kErrCompOutOfMemory};
    for (int32_t i = 0; i < length; i++) chars[i] = static_cast<uint8_t>(s[i]);
    ErrCode err = EmitText(chars, length);
    u.scratch->Release(mark);
    return err;
  };
  if ((e = text(t + bodyStart, bodyEnd - bodyStart))) return e;
  for (int32_t p = paramsStart; p < paramsStart + context.paramsLength;) {
    if (!IsNameStart(t[p])) {
      p++;
      continue;
    }
    int32_t length = NameSpan(t, n, p);
    if ((e = text(t + p, length))) return e;
    p += length;
  }
  if (context.capturedCount > 0) {
    for (int32_t i = 0; i < context.capturedCount; i++) {
      const AnonContext::Capture& c = context.captured[i];
      if ((e = EmitName(c.name, c.length))) return e;
      // Inside an enclosing anonymous function the code is replaced again.
      e = anon || c.variable < 0 ? Emit({kOpPushEmpty}, 1)
                                 : Emit({kOpLoadVar, static_cast<int16_t>(c.variable)}, 1);
      if (e) return e;
    }
    const int32_t items = 2 * context.capturedCount;
    if ((e = Emit({kOpBraceList, static_cast<int16_t>(items)}, 1 - items))) return e;
    args++;
  }
  if (multiOutput) {
    if ((e = Emit({kOpTrue, 0}, 1))) return e;
    args++;
  }
  (void)at;
  return Emit({kOpInline, static_cast<int16_t>(args)}, 1 - args);
}

}  // namespace vke
