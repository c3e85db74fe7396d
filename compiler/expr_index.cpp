// Index groups and fields: argument lists with lone colons and the index
// keywords ("end" and its relatives), chains of (...), {...} and .field
// steps read through a reference to the variable or applied to a computed
// value, and assignment targets compiled as stores through references.
//
// Code shapes (W0 = group arguments, colons included; W1 = colon mask):
//   x(i)     loadindexed x, i, parenafterindex W0 W1 results
//   x{i}     loadindexed x, i, braceindexvalue W0 W1, applyparen
//   x.f      loadindexed x, loadfield f, applyparen
//   x(i).f   loadindexed x, i, indexfield W0 W1 f, applyparen
//   x.(e)    loadindexed x, e, loadfieldbyname, applyparen
//   x(i).(e) loadindexed x, i, e, indexgroup W0 W1, applyparen
//   c{:}     loadvar c, braceindexvalue 1 1 (a comma list)
//   v(...)   on a computed value: indexvalue W0 W1 results
//   x(i) = v     v, loadindexedfirst x, i, parenafterbrace W0 W1
//   x{i} = v     v, loadindexedfirst x, i, braceindexvalue W0 W1, applybrace
//   s.f(i) = v   v, loadindexedfirst s, loadfield f, i, parenafterbrace W0 W1
#include "compiler/compile_expr.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxColonArguments = 16;

struct IndexKeyword {
  const char* name;
  int16_t opcode;
  ErrCode misplaced;
};
constexpr IndexKeyword kIndexKeywords[] = {
    {"beginning", kOpBeginningValue, kErrMisplacedBeginning},
    {"end", kOpEndValue, kErrMisplacedEnd},
    {"matrixrow", kOpMatrixRowValue, kErrMisplacedMatrixrow},
    {"matrixcol", kOpMatrixColValue, kErrMisplacedMatrixcol},
};

int32_t CountBits(uint32_t mask) {
  int32_t k = 0;
  for (; mask; mask &= mask - 1) k++;
  return k;
}

// The values a group of arguments takes from the stack.
int32_t Values(const GroupArgs& a) {
  return a.count - CountBits(a.colons);
}

bool IsOpener(char c) {
  return c == '(' || c == '[' || c == '{';
}
bool IsCloser(char c) {
  return c == ')' || c == ']' || c == '}';
}

}  // namespace

int32_t ExprCompiler::CountAhead(char close, bool* several) const {
  int32_t level = 0, count = 0, p = pos;
  int32_t questions = 0;  // "?" waiting for the ":" of "c ? a : b"
  bool content = false, lone = false, loneColon = false;
  char previous = ' ';
  *several = false;
  auto finishArgument = [&] {
    if (content) count++;
    if (loneColon) *several = true;
    content = lone = loneColon = false;
    questions = 0;
  };
  for (; p < n; p++) {
    char c = t[p];
    if (c == ' ' || c == '\t') continue;
    if (c == '\'' && !EndsOperandChar(previous)) {
      p = ClosingQuote(t, n, p);
      previous = '\'';
      content = true;
      lone = false;
      loneColon = false;
      continue;
    }
    if (level == 0 && (c == ',' || c == close)) {
      finishArgument();
      if (c == close) break;
      previous = c;
      continue;
    }
    if (IsOpener(c)) level++;
    if (IsCloser(c)) level--;
    if (level < 0) break;
    if (level == 0 && c == '?') questions++;
    if (level == 0 && c == ':' && !content) {
      lone = loneColon = true;
    } else {
      if (level == 0 && c == ':' && !lone) {
        if (questions > 0)
          questions--;
        else
          *several = true;
      }
      if (lone) loneColon = false;
      lone = false;
    }
    content = true;
    previous = c;
  }
  if (count == 0 && content) count = 1;
  return count;
}

ErrCode ExprCompiler::ParseArgs(char close, bool indexGroup, int32_t baseDepth, GroupArgs* a) {
  *a = GroupArgs{};
  bool several;
  IndexContext group{baseDepth, 0, CountAhead(close, &several), index};
  IndexContext* saved = index;
  if (indexGroup) index = &group;
  SkipBlanks();
  if (At() == close) {
    pos++;
    index = saved;
    return kOk;
  }
  for (;;) {
    group.position = a->count + 1;
    SkipBlanks();
    int32_t p = pos + 1;
    while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
    if (At() == ':' && p < n && (t[p] == ',' || t[p] == close)) {
      if (!indexGroup) return kErrUnexpectedColon;
      if (a->count >= kMaxColonArguments) return kErrIndexOutOfRange;
      a->colons |= 1u << a->count;
      pos = p;
    } else {
      SubResult sub;
      Level level;
      if (ErrCode e = ParseSubexpr(level, &sub)) return e;
      if (sub.flattened) {
        if (indexGroup) return kErrMisplacedListFlattening;
        a->flattened = true;
      }
    }
    a->count++;
    SkipBlanks();
    if (At() == ',') {
      pos++;
      continue;
    }
    if (At() == close) {
      pos++;
      break;
    }
    return Lacking(UnexpectedCloser(At()));
  }
  index = saved;
  return kOk;
}

ErrCode ExprCompiler::ParseIndexKeyword(const char* name, int32_t length, bool* handled) {
  for (const IndexKeyword& k : kIndexKeywords) {
    if (static_cast<int32_t>(std::strlen(k.name)) != length || std::memcmp(k.name, name, length))
      continue;
    *handled = true;
    if (!index) return k.misplaced;
    if ((k.opcode == kOpMatrixRowValue && index->count > 1 && index->position != 1) ||
        (k.opcode == kOpMatrixColValue && index->count > 1 && index->position != 2))
      return kErrWrongIndex;
    return Emit({k.opcode, static_cast<int16_t>(depth - index->baseDepth),
                 static_cast<int16_t>(index->position), static_cast<int16_t>(index->count)},
                1);
  }
  *handled = false;
  return kOk;
}

ErrCode ExprCompiler::FieldStep(const GroupArgs* group, bool* found) {
  *found = At() == '.' && (IsNameStart(At(1)) || At(1) == '(');
  if (!*found) return kOk;
  const int32_t taken = group ? Values(*group) : 0;
  const auto count = static_cast<int16_t>(group ? group->count : 0);
  const auto mask = static_cast<int16_t>(group ? group->colons : 0);
  pos++;
  if (At() == '(') {
    // A field named by the text an expression computes.
    pos++;
    SubResult sub;
    Level inner;
    if (ErrCode e = ParseSubexpr(inner, &sub)) return e;
    SkipBlanks();
    if (At() != ')') return Lacking(UnexpectedCloser(At()));
    pos++;
    if (!group) return Emit({kOpLoadFieldByName}, -1);
    return Emit({kOpIndexGroup, count, mask}, -taken - 1);
  }
  const int32_t length = NameSpan(t, n, pos);
  int32_t id;
  if (ErrCode e = InternName(ctx, t + pos, length, kMaxIdentifierLength, &id)) return e;
  pos += length;
  if (!group) return Emit({kOpLoadField, static_cast<int16_t>(id)}, 0);
  return Emit({kOpIndexField, count, mask, static_cast<int16_t>(id)}, -taken);
}

ErrCode ExprCompiler::ParseChain(int32_t variable, const Level& level, bool* flattened) {
  const int32_t save = pos;
  const bool blanks = !level.bracket && SkipBlanks();
  char c = At();
  // "x()" is an index group without arguments: a function value in x is
  // called.
  const bool step =
      c == '(' || c == '{' || (!blanks && c == '.' && (IsNameStart(At(1)) || At(1) == '('));
  if (!step) {
    pos = save;
    return variable < 0 ? Emit({kOpPushEmpty}, 1)
                        : Emit({kOpLoadVar, static_cast<int16_t>(variable)}, 1);
  }
  // A brace group with a lone colon or a range makes a comma list of a copy.
  bool colon = false;
  if (c == '{') {
    const int32_t p = pos++;
    CountAhead('}', &colon);
    pos = p;
  }
  ErrCode e;
  if (variable < 0)
    e = Emit({kOpPushEmpty}, 1);
  else if (colon)
    e = Emit({kOpLoadVar, static_cast<int16_t>(variable)}, 1);
  else
    e = Emit({kOpLoadIndexed, static_cast<int16_t>(variable)}, 1);
  if (e) return e;
  return ChainSteps(variable >= 0 && !colon, level, flattened);
}

ErrCode ExprCompiler::ParsePostfix(const Level& level, bool* flattened) {
  Level inner = level;
  inner.bracket = false;
  return ChainSteps(false, inner, flattened);
}

ErrCode ExprCompiler::ChainSteps(bool reference, const Level& level, bool* flattened) {
  bool flat = false, field = false;
  for (;;) {
    const int32_t before = pos;
    const bool b = !level.bracket && SkipBlanks();
    char c = At();
    if (flat ||
        !(c == '(' || c == '{' || (!b && c == '.' && (IsNameStart(At(1)) || At(1) == '(')))) {
      pos = before;
      break;
    }
    const int32_t baseDepth = depth;
    GroupArgs a;
    if (c == '{') {
      bool groupColon = false;
      pos++;
      CountAhead('}', &groupColon);
      if (groupColon && reference) {
        if (ErrCode err = Emit({kOpApplyParen}, 0)) return err;
        reference = false;
      }
      if (ErrCode err = ParseArgs('}', true, baseDepth, &a)) return err;
      if (ErrCode err = Emit(
              {kOpBraceIndexValue, static_cast<int16_t>(a.count), static_cast<int16_t>(a.colons)},
              -Values(a)))
        return err;
      flat = groupColon;
      field = false;
      continue;
    }
    if (c == '.') {
      if (ErrCode err = FieldStep(nullptr, &field)) return err;
      continue;
    }
    // "(": an index group, maybe followed by a field.
    pos++;
    if (ErrCode err = ParseArgs(')', true, baseDepth, &a)) return err;
    const auto count = static_cast<int16_t>(a.count);
    const auto mask = static_cast<int16_t>(a.colons);
    if (ErrCode err = FieldStep(&a, &field)) return err;
    if (field) continue;
    Callee indexed;
    indexed.kind = Callee::kIndex;
    const bool whole = level.mayBeWhole && RestIsBlank();
    int32_t outputs;
    if (ErrCode err = CallOutputs(indexed, whole, &outputs)) return err;
    const int16_t op = reference ? kOpParenAfterIndex : kOpIndexValue;
    if (ErrCode err = Emit({op, count, mask, static_cast<int16_t>(outputs)},
                           (outputs < 0 ? 1 : outputs) - Values(a) - 1))
      return err;
    reference = false;
    if (whole) {
      wholeCall = true;
      wholeCount = outputs;
    }
  }
  *flattened = flat;
  if (reference)
    if (ErrCode e = Emit({kOpApplyParen}, 0)) return e;
  if (field) fieldEnd = code.Pos();
  return kOk;
}

ErrCode ExprCompiler::ParseTarget(int32_t* shownVariable) {
  SkipBlanks();
  int32_t length = NameSpan(t, n, pos);
  if (length == 0 || !IsNameStart(At())) return kErrBadAsgnVar;
  const int32_t variable = u.vars.Find(t + pos, length);
  if (variable < 0) return kErrBadAsgnVar;
  pos += length;
  *shownVariable = variable;
  const bool blanks = SkipBlanks();
  char c = At();
  if (!(c == '(' || c == '{' || (!blanks && c == '.')))
    return Emit({kOpStoreVar, static_cast<int16_t>(variable)}, -1);
  if (ErrCode e = Emit({kOpLoadIndexedFirst, static_cast<int16_t>(variable)}, 1)) return e;
  for (;;) {
    const int32_t before = pos;
    const bool b = SkipBlanks();
    c = At();
    if (!(c == '(' || c == '{' || (!b && c == '.'))) {
      pos = before;
      break;
    }
    const int32_t baseDepth = depth;
    GroupArgs a;
    bool field;
    if (c == '.') {
      if (ErrCode e = FieldStep(nullptr, &field)) return e;
      if (!field) return kErrBadAsgnVar;
      continue;
    }
    pos++;
    if (ErrCode e = ParseArgs(c == '(' ? ')' : '}', true, baseDepth, &a)) return e;
    const auto count = static_cast<int16_t>(a.count);
    const auto mask = static_cast<int16_t>(a.colons);
    if (c == '{') {
      if (ErrCode e = Emit({kOpBraceIndexValue, count, mask}, -Values(a))) return e;
      continue;
    }
    if (ErrCode e = FieldStep(&a, &field)) return e;
    if (field) continue;
    // A parenthesised group ends the target: an indexed assignment.
    int32_t p = pos;
    while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
    if (p < n && !(t[p] == ',' || t[p] == ']' || t[p] == ')' || IsNameStart(t[p])))
      return kErrBadAsgnVar;
    return Emit({kOpParenAfterBrace, count, mask}, -Values(a) - 2);
  }
  return Emit({kOpApplyBrace}, -2);
}

ErrCode ExprCompiler::CompileTargets(int32_t targets, int32_t* shown) {
  const uint32_t mark = u.scratch->Used();
  stack = static_cast<OperatorEntry*>(u.scratch->Take(64 * sizeof(OperatorEntry)));
  if (!stack) return kErrCompOutOfMemory;
  capacity = 64;
  SkipBlanks();
  const char open = At();
  const bool list = open == '[' || open == '(';
  if (list) pos++;
  ErrCode e = kOk;
  for (int32_t i = 0; i < targets && !e; i++) {
    SkipBlanks();
    if (list && i > 0 && At() == ',') pos++;
    e = ParseTarget(&shown[i]);
  }
  u.scratch->Release(mark);
  if (e) return e;
  SkipBlanks();
  if (list) {
    if (At() != (open == '[' ? ']' : ')')) return kErrBadAsgnVar;
    pos++;
    SkipBlanks();
  }
  return AtEnd() ? kOk : kErrBadAsgnVar;
}

}  // namespace vke
