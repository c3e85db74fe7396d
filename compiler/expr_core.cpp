// The expression compiler's main pass: operands and operators read left to
// right, the operator stack reduced by precedence, parenthesised groups and
// bracket rows parsed by recursion, number and string literals.
#include "compiler/compile_expr.hpp"
#include "compiler/compile_lexer.hpp"
#include "compiler/lexer_helpers.hpp"
#include "compiler/optimize.hpp"
#include "engine/errors/raise.hpp"
#include "engine/memory_retry.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxNesting = 64;
constexpr int32_t kOperatorStackEntries = 256;
constexpr int32_t kLowestPrecedence = -1000;
// The precedences the lexer gives the operators compiled into jumps.
constexpr int32_t kConditionalPrecedence = 12;
constexpr int32_t kOrPrecedence = 13;

bool IsStop(char c) {
  return c == ')' || c == ']' || c == '}' || c == ',' || c == ';';
}

}  // namespace

ErrCode UnexpectedCloser(char c) {
  switch (c) {
    case ')':
      return kErrUnexpectedRightPar;
    case ']':
      return kErrUnexpectedRightBracket;
    case '}':
      return kErrUnexpectedRightBrace;
    case ',':
      return kErrUnexpectedComma;
    case ';':
      return kErrUnexpectedSemicolon;
    default:
      return kErrIncompleteExpr;
  }
}

namespace {

// The first operator row of a fitting kind whose characters stand at p.
const OperatorRecord* MatchOperator(const char* t, int32_t n, int32_t p, bool prefix) {
  for (const OperatorRecord* r = kOperatorTable; r->kind != kOperatorEnd; r++) {
    if ((r->kind == kOperatorPrefix) != prefix) continue;
    int32_t k = 0;
    while (r->chars[k] && p + k < n && t[p + k] == r->chars[k]) k++;
    if (!r->chars[k]) return r;
  }
  return nullptr;
}

int32_t OperatorLength(const OperatorRecord* r) {
  return static_cast<int32_t>(std::strlen(r->chars));
}

}  // namespace

ExprCompiler::ExprCompiler(CompileUnit& unit, const char* text, int32_t length)
    : u(unit), ctx(unit.ctx), code(unit.code), t(text), n(length) {}

bool ExprCompiler::SkipBlanks() {
  int32_t p = pos;
  while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
  bool skipped = p > pos;
  pos = p;
  return skipped;
}

bool ExprCompiler::RestIsBlank() const {
  for (int32_t p = pos; p < n; p++)
    if (t[p] != ' ' && t[p] != '\t') return false;
  return true;
}

bool ExprCompiler::SubexprEndsHere() const {
  int32_t p = pos;
  while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
  return p >= n || IsStop(t[p]);
}

ErrCode ExprCompiler::Emit(std::initializer_list<int16_t> words, int32_t delta) {
  int32_t at = code.Pos();
  if (ErrCode e = code.Put(words)) return e;
  lastInstr = at;
  depth += delta;
  return kOk;
}

ErrCode ExprCompiler::EmitText(const uint16_t* chars, int32_t count) {
  int32_t at = code.Pos();
  if (ErrCode e = code.PutText(chars, count, ctx->wideText != 0)) return e;
  lastInstr = at;
  depth++;
  return kOk;
}

ErrCode ExprCompiler::EmitName(const char* name, int32_t length) {
  uint16_t chars[80];
  if (length < 0 || length > static_cast<int32_t>(sizeof chars / 2)) return kErrNameTooLong;
  for (int32_t i = 0; i < length; i++) chars[i] = static_cast<uint8_t>(name[i]);
  return EmitText(chars, length);
}

ErrCode ExprCompiler::PushEntry(const OperatorEntry& e) {
  if (top >= capacity) return kErrTooManyNestedSubexpr;
  stack[top++] = e;
  return kOk;
}

ErrCode ExprCompiler::Reduce(int32_t base, int32_t limit) {
  while (top > base && stack[top - 1].precedence >= limit) {
    OperatorEntry e = stack[--top];
    ErrCode err = kOk;
    switch (e.kind) {
      case kEntryBinary:
        err = EmitOperatorCall(kOperatorTable[e.operand], 2);
        break;
      case kEntryPrefix:
        err = EmitOperatorCall(kOperatorTable[e.operand], 1);
        break;
      case kEntryColon:
        err = Emit({kOpColon, static_cast<int16_t>(e.args)}, 1 - e.args);
        break;
      case kEntryJumps: {
        bool conditional = e.precedence == kConditionalPrecedence;
        if (conditional && e.args < 0) {
          ErrorDetails d;
          d.integer = 2;
          d.name = "?";
          return CompileErrorWith(u, kErrIncorrectNargin, d);
        }
        int32_t jump = conditional ? e.args : e.operand;
        if (!CodeWriter::JumpFits(jump, code.Pos())) return CodeFormLimitReached(ctx);
        code.PatchJump(jump, code.Pos());
        break;
      }
      default:
        err = kErrIllegal;
    }
    if (err) return err;
  }
  return kOk;
}

bool ExprCompiler::StartsElement() const {
  char c = At(), next = At(1);
  if (IsNameStart(c) || (c >= '0' && c <= '9') || c == '\'' || c == '(' || c == '[' || c == '{' ||
      c == '@')
    return true;
  if (c == '.' && next >= '0' && next <= '9') return true;
  if (c == '-' || c == '+') return next != ' ' && next != '\t' && next != '=' && next != '\0';
  return c == '~' && next != '=';
}

ErrCode ExprCompiler::ParseSubexpr(const Level& level, SubResult* result) {
  if (nesting >= kMaxNesting) return kErrTooManyNestedPar;
  nesting++;
  const int32_t base = top;
  bool expectOperand = true;
  bool anyOperator = false, flattenedOperand = false;
  *result = SubResult{};
  for (;;) {
    bool blanks = SkipBlanks();
    char c = At();
    if (expectOperand) {
      if (const OperatorRecord* row = MatchOperator(t, n, pos, true)) {
        pos += OperatorLength(row);
        anyOperator = true;
        if (ErrCode e = PushEntry(
                {row->precedence, kEntryPrefix, static_cast<int32_t>(row - kOperatorTable), 0}))
          return e;
        continue;
      }
      if (AtEnd() || IsStop(c))
        return Lacking(result->operands ? kErrIncompleteExpr : kErrMissingExpr);
      Level operand = level;
      operand.mayBeWhole = level.mayBeWhole && top == base && result->operands == 0;
      operand.body = level.body && top == base && result->operands == 0;
      bool flattened = false;
      if (ErrCode e = ParseOperand(operand, &flattened)) return e;
      if (flattened && anyOperator) return kErrMisplacedListFlattening;
      flattenedOperand |= flattened;
      result->operands++;
      expectOperand = false;
      continue;
    }
    if (AtEnd() || IsStop(c)) break;
    if (level.bracket && blanks && StartsElement()) break;
    if (flattenedOperand) return kErrMisplacedListFlattening;
    Level postfix = level;
    postfix.mayBeWhole = level.mayBeWhole && top == base && result->operands == 1 && !anyOperator;
    const bool hadOperator = anyOperator;
    anyOperator = true;
    // Postfix transposes bind tighter than everything pending.
    const OperatorRecord* row = MatchOperator(t, n, pos, false);
    if (row && row->kind == kOperatorPostfix) {
      pos += OperatorLength(row);
      if (ErrCode e = EmitOperatorCall(*row, 1)) return e;
      continue;
    }
    // An index group or field applied to the value just computed.
    if (c == '(' || c == '{' || (c == '.' && (IsNameStart(At(1)) || At(1) == '('))) {
      bool flattened = false;
      if (ErrCode e = ParsePostfix(postfix, &flattened)) return e;
      anyOperator = hadOperator;  // still one operand, maybe the whole expression
      if (flattened) flattenedOperand = true;
      continue;
    }
    if (!row) return UnrecognizedToken(u, c);
    pos += OperatorLength(row);
    expectOperand = true;
    const int32_t rowIndex = static_cast<int32_t>(row - kOperatorTable);
    if (row->kind == kOperatorJumps && row->chars[0] == '?') {
      if (ErrCode e = Reduce(base, kOrPrecedence)) return e;
      int32_t jump = code.Pos();
      if (ErrCode e = Emit({kOpJumpFalse, -1}, -1)) return e;
      if (ErrCode e = PushEntry({kConditionalPrecedence, kEntryJumps, jump, -1})) return e;
      continue;
    }
    if (row->kind == kOperatorJumps) {
      if (ErrCode e = Reduce(base, row->precedence)) return e;
      int32_t jump = code.Pos();
      int16_t op = row->chars[0] == '|' ? kOpOrJump : kOpAndJump;
      if (ErrCode e = Emit({op, -1}, -1)) return e;
      if (ErrCode e = PushEntry({row->precedence, kEntryJumps, jump, 0})) return e;
      continue;
    }
    if (row->chars[0] == ':' && row->chars[1] == 0) {
      if (ErrCode e = Reduce(base, row->precedence + 1)) return e;
      OperatorEntry* last = top > base ? &stack[top - 1] : nullptr;
      if (last && last->kind == kEntryJumps && last->precedence == kConditionalPrecedence &&
          last->args < 0) {
        // The second value of "c ? a : b".
        int32_t jump = code.Pos();
        if (ErrCode e = Emit({kOpJump, -1}, -1)) return e;
        code.PatchJump(last->operand, code.Pos());
        last->args = jump;
        continue;
      }
      if (last && last->kind == kEntryColon) {
        if (last->args == 3) {
          // "a:b:c:d" would call colon with four inputs.
          ErrorDetails d;
          d.integer = 4;
          d.name = "colon";
          return CompileErrorWith(u, kErrIncorrectNargin, d);
        }
        last->args = 3;
        continue;
      }
      if (ErrCode e = PushEntry({row->precedence, kEntryColon, rowIndex, 2})) return e;
      continue;
    }
    if (ErrCode e = Reduce(base, row->precedence)) return e;
    if (ErrCode e = PushEntry({row->precedence, kEntryBinary, rowIndex, 0})) return e;
  }
  if (ErrCode e = Reduce(base, kLowestPrecedence)) return e;
  nesting--;
  result->flattened = flattenedOperand;
  return kOk;
}

ErrCode ExprCompiler::ParseOperand(const Level& level, bool* flattened) {
  char c = At();
  if (IsNumberStart(t, n, pos)) return ParseNumber();
  if (c == '\'') return ParseString();
  if (IsNameStart(c)) return ParseName(level, flattened);
  if (c == '@') return ParseAt(level);
  if (c == '[' || c == '{') {
    pos++;
    return ParseMatrix(c == '[' ? ']' : '}');
  }
  if (c == '(') {
    pos++;
    SubResult sub;
    Level inner;
    if (ErrCode e = ParseSubexpr(inner, &sub)) return e;
    if (sub.flattened) return kErrMisplacedListFlattening;
    SkipBlanks();
    if (At() != ')') return Lacking(UnexpectedCloser(At()));
    pos++;
    return kOk;
  }
  if (c == ':') return kErrUnexpectedColon;
  return UnrecognizedToken(u, c);
}

ErrCode ExprCompiler::ParseMatrix(char close) {
  const bool braces = close == '}';
  if (nesting >= kMaxNesting) return kErrTooManyNestedPar;
  int32_t rows = 0, elements = 0;
  bool rowFlattened = false;
  auto endRow = [&]() -> ErrCode {
    if (elements == 0) return kOk;
    ErrCode e = kOk;
    if (braces)
      e = Emit({kOpBraceList, static_cast<int16_t>(elements)}, 1 - elements);
    else if (elements > 1 || rowFlattened)
      e = Emit({kOpHorzcat, static_cast<int16_t>(elements)}, 1 - elements);
    rows++;
    elements = 0;
    rowFlattened = false;
    return e;
  };
  for (;;) {
    SkipBlanks();
    char c = At();
    if (AtEnd()) return Lacking(kErrIncompleteExpr);
    if (c == close) {
      pos++;
      break;
    }
    if (c == ';') {
      pos++;
      if (ErrCode e = endRow()) return e;
      continue;
    }
    if (c == ',' || c == ')' || c == ']' || c == '}') return UnexpectedCloser(c);
    Level element;
    element.bracket = true;
    SubResult sub;
    if (ErrCode e = ParseSubexpr(element, &sub)) return e;
    elements++;
    // A field read may give a comma list, which the row's horzcat expands.
    rowFlattened |= sub.flattened || fieldEnd == code.Pos();
    SkipBlanks();
    if (At() == ',') pos++;
  }
  if (ErrCode e = endRow()) return e;
  if (rows == 0) return braces ? Emit({kOpBraceList, 0}, 1) : Emit({kOpPushEmpty}, 1);
  if (rows > 1) return Emit({kOpVertcat, static_cast<int16_t>(rows)}, 1 - rows);
  return kOk;
}

ErrCode ExprCompiler::ParseNumber() {
  NumberLiteral lit;
  if (ErrCode e = ScanNumberLiteral(t, n, &pos, &lit)) {
    if (e != kErrUnrecognizedToken) return e;
    return UnrecognizedToken(u, At());
  }
  if (lit.kind == NumberKind::kInteger) {
    const uint64_t v = lit.bits;
    const int16_t low = static_cast<int16_t>(v & 0xFFFF);
    const bool s = lit.isUnsigned;
    auto word = [&](int shift) { return static_cast<int16_t>((v >> shift) & 0xFFFF); };
    switch (lit.bytes) {
      case 1:
        return Emit({s ? kOpPushUInt8 : kOpPushInt8, low}, 1);
      case 2:
        return Emit({s ? kOpPushUInt16 : kOpPushInt16, low}, 1);
      case 4:
        if (static_cast<int64_t>(v) == low)
          return Emit({s ? kOpPushUInt32Short : kOpPushInt32Short, low}, 1);
        return Emit({s ? kOpPushUInt32 : kOpPushInt32, word(0), word(16)}, 1);
      default:
        if (static_cast<int64_t>(v) == low)
          return Emit({s ? kOpPushUInt64Short : kOpPushInt64Short, low}, 1);
        return Emit({s ? kOpPushUInt64 : kOpPushInt64, word(0), word(16), word(32), word(48)}, 1);
    }
  }
  const double x = lit.value;
  int16_t op;
  if (lit.single) {
    op = lit.imaginary ? kOpPushSingleImag : kOpPushSingle;
  } else if (x == 0) {
    return Emit({kOpPushZero}, 1);
  } else if (x == 1) {
    return Emit({lit.imaginary ? kOpImagUnit : kOpPushOne}, 1);
  } else if (lit.plainInteger && x <= INT16_MAX) {
    return Emit({lit.imaginary ? kOpPushSmallImag : kOpPushSmallInt, static_cast<int16_t>(x)}, 1);
  } else {
    op = lit.imaginary ? kOpPushImag : kOpPushDouble;
  }
  if (ErrCode e = code.PutDouble(op, x)) return e;
  lastInstr = code.Pos() - 5;
  depth++;
  return kOk;
}

ErrCode ExprCompiler::ParseString() {
  uint32_t mark = u.scratch->Used();
  int32_t room = n - pos + 1;
  auto* chars = static_cast<uint16_t*>(u.scratch->Take(2u * static_cast<uint32_t>(room)));
  if (!chars) return kErrCompOutOfMemory;
  int32_t count = 0;
  ErrCode e = ScanStringLiteral(ctx, t, n, &pos, chars, room, &count);
  // A string runs over a line end inside brackets, as the statement's text
  // joins its lines.
  if (e == kErrUnterminatedString && u.cutEnd && t + n == u.cutEnd) e = kErrEof;
  if (!e) e = EmitText(chars, count);
  u.scratch->Release(mark);
  return e;
}

ErrCode ExprCompiler::Compile(const ExprRequest& r, ExprResult* result) {
  request = &r;
  const uint32_t mark = u.scratch->Used();
  stack =
      static_cast<OperatorEntry*>(u.scratch->Take(kOperatorStackEntries * sizeof(OperatorEntry)));
  if (!stack) return kErrCompOutOfMemory;
  capacity = kOperatorStackEntries;
  const int32_t start = code.Pos();
  Level level;
  level.mayBeWhole = true;
  SubResult sub;
  ErrCode e = ParseSubexpr(level, &sub);
  u.scratch->Release(mark);
  if (e) return e;
  if (!AtEnd()) return UnexpectedCloser(At());
  const int32_t count = wholeCall ? wholeCount : 1;
  if (r.outputs >= 2 && count != r.outputs) {
    ErrorDetails d;
    d.integer = r.outputs;
    return CompileErrorWith(u, kErrIncorrectNargout, d);
  }
  if (ctx->optLevel >= 4) {
    int32_t end = code.Pos();
    if (ConstantFoldCode(ctx, code.Base(), start, &end) == kOk) code.Truncate(end);
  }
  result->count = count;
  result->start = start;
  result->flattened = sub.flattened;
  return kOk;
}

ErrCode CompileExpression(CompileUnit& u, const ExprRequest& request, ExprResult* result) {
  ExprCompiler c(u, request.text, request.length);
  return c.Compile(request, result);
}

ErrCode CompileTargetList(CompileUnit& u, const char* text, int32_t length, int32_t targets,
                          int32_t* shown) {
  ExprCompiler c(u, text, length);
  return c.CompileTargets(targets, shown);
}

}  // namespace vke
