// Pass 2 of the compiler: the code of each statement record, with a stack
// of open structures (if, switch, loops, try) whose jumps are patched when
// they close.
//
// Shapes:
//   if c A elseif d B else C end:  c jumpfalse>1 A jump>E 1: d jumpfalse>2 B jump>E 2: C E:
//   while c A end:                 H: c jumpfalse>X A jump>H X:
//   repeat A until c:              S: A c jumpfalse>S
//   for v = e A end:               e [forrangeinit] N: fornext>X storevar v A jump>N X: pop
//   switch e case c A otherwise B end:  e c casejump>1 A jump>E 1: B E: pop
//   try A catch B end:   settry>C keep  A  settry outer  jump>E  C: settry outer  B  E:
// The try's "keep" is the number of value entries that lie on the stack at
// the try (enclosing loops and switches, and the code of a text); "settry
// outer" restores the handler of the enclosing try, or clears it. The
// restoring settry that begins the catch part keeps an error in the catch
// part from entering the same catch part again; break and continue that
// leave a try part restore the handler in force at the loop.
#include <algorithm>

#include "compiler/compile_expr.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/raise.hpp"
#include "engine/memory_retry.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxOpenStructures = 64;
// The pending jumps take room for this many, or an eighth of the scratch
// free when the code is generated when that holds more: more of them than
// that is a shortage of room, which growth of the area mends.
constexpr uint32_t kLeastPatches = 1024;
constexpr uint32_t kPatchShare = 8;

enum StructureKind : int32_t {
  kStructIf = 22,
  kStructSwitch = 23,
  kStructWhile = 24,
  kStructFor = 25,
  kStructRepeat = 26,
  kStructTry = 27,
};

const char* StructureName(int32_t kind) {
  switch (kind) {
    case kStructIf:
      return "if";
    case kStructSwitch:
      return "switch";
    case kStructWhile:
      return "while";
    case kStructFor:
      return "for";
    case kStructRepeat:
      return "repeat";
    default:
      return "try";
  }
}

// The state of a switch once its otherwise part began: no count of cases
// reaches it.
constexpr int32_t kAfterOtherwise = INT32_MAX;

struct OpenStructure {
  int32_t kind;
  int32_t line;
  int32_t start;    // loop head; for: the iteration instruction
  int32_t pending;  // the conditional jump (or casejump) to patch next, -1 none
  int32_t state;    // if: else seen; switch: cases seen, then kAfterOtherwise; try: catch seen
  int32_t keep;     // try: value entries kept at its catch
  int32_t catchAt;  // try: the position of its catch part, -1 before it is known
};

// A forward jump waiting for a position.
enum PatchKind : int32_t {
  kPatchEnd,       // the end of the structure
  kPatchBreak,     // the exit of the loop
  kPatchContinue,  // repeat: the "until" condition
  kPatchCatch,     // a settry that installs the structure's catch part
};
struct PendingPatch {
  int32_t owner;  // index of the structure
  int32_t kind;
  int32_t at;  // position of the instruction
};

class Generator {
 public:
  explicit Generator(CompileUnit& unit) : u(unit), code(unit.code), ctx(unit.ctx) {}
  ErrCode Run(const StatementRecord* first, int32_t count);

 private:
  CompileUnit& u;
  CodeWriter& code;
  EngineContext* ctx;
  OpenStructure open[kMaxOpenStructures];
  int32_t depth = 0;
  PendingPatch* patches = nullptr;
  int32_t patchCount = 0;
  int32_t patchCapacity = 0;
  const StatementRecord* valueStatement = nullptr;  // leaves the text's results

  ErrCode Put(std::initializer_list<int16_t> words) { return code.Put(words); }
  ErrCode Line(int32_t line) {
    if (!ctx->lineMarkers) return kOk;
    return Put({kOpLine, static_cast<int16_t>(u.request->function),
                static_cast<int16_t>(line > INT16_MAX ? INT16_MAX : line)});
  }
  ErrCode AddPatch(int32_t owner, int32_t kind, int32_t at) {
    if (patchCount >= patchCapacity) return kErrCompOutOfMemory;
    patches[patchCount++] = {owner, kind, at};
    return kOk;
  }
  ErrCode Land(int32_t jump, int32_t target) {
    if (!CodeWriter::JumpFits(jump, target)) return CodeFormLimitReached(ctx);
    code.PatchJump(jump, target);
    return kOk;
  }
  // Patches the owner's waiting jumps of a kind to target.
  ErrCode Resolve(int32_t owner, int32_t kind, int32_t target);
  ErrCode Jump(int16_t op, int32_t target) {
    int32_t at = code.Pos();
    if (ErrCode e = Put({op, -1})) return e;
    return Land(at, target);
  }
  ErrCode ForwardJump(int16_t op, int32_t owner, int32_t kind) {
    if (ErrCode e = AddPatch(owner, kind, code.Pos())) return e;
    return Put({op, -1});
  }
  // Value entries on the stack inside structure k (below it when k = 0).
  int32_t KeepCount(int32_t k) const {
    int32_t keep = u.request->baseEntries;
    for (int32_t i = 0; i < k; i++)
      keep += open[i].kind == kStructFor || open[i].kind == kStructSwitch;
    return keep;
  }
  // The try whose handler is in force inside structure k (below k), -1 none.
  int32_t ActiveTry(int32_t k) const {
    for (int32_t i = k - 1; i >= 0; i--)
      if (open[i].kind == kStructTry && open[i].state == 0) return i;
    return -1;
  }
  // settry that makes the handler of try `h` (or none) the active one.
  ErrCode RestoreHandler(int32_t h) {
    if (h < 0) return Put({kOpSetTry, 0, 0});
    if (ErrCode e = AddPatch(h, kPatchCatch, code.Pos())) return e;
    return Put({kOpSetTry, -1, static_cast<int16_t>(open[h].keep)});
  }
  ErrCode Push(int32_t kind, int32_t line, int32_t start, int32_t pending) {
    if (depth >= kMaxOpenStructures) return kErrTooManyNestedBlocks;
    open[depth++] = {kind, line, start, pending, 0, 0, -1};
    return kOk;
  }

  ErrCode Expression(const char* text, int32_t length, int32_t outputs, bool wants, ExprResult* r) {
    ExprRequest q;
    q.text = text;
    q.length = length;
    q.outputs = outputs;
    q.wantsValue = wants;
    return CompileExpression(u, q, r);
  }
  // A condition and its jump: jumpfalse, or at level 1 and more a jump for
  // a constant false and a skip for a constant true. *jump is the position
  // of a jump to patch, -1 for none.
  ErrCode Condition(const StatementRecord* r, int32_t* jump);

  ErrCode ExpressionStatement(const StatementRecord* r);
  ErrCode EvalWithCatch(const StatementRecord* r, const char* text, int32_t comma, int32_t close);
  ErrCode Declare(const StatementRecord* r, bool persistent);
  ErrCode For(const StatementRecord* r);
  ErrCode LeaveLoop(bool isBreak);
  ErrCode Close(int32_t line);
  ErrCode Statement(const StatementRecord* r);
};

ErrCode Generator::Resolve(int32_t owner, int32_t kind, int32_t target) {
  for (int32_t i = 0; i < patchCount; i++) {
    PendingPatch& p = patches[i];
    if (p.owner != owner || p.kind != kind) continue;
    if (kind == kPatchCatch) {
      code.At(p.at)[1] = static_cast<int16_t>(target - (p.at + 3));
    } else if (ErrCode e = Land(p.at, target)) {
      return e;
    }
    p = patches[--patchCount];
    i--;
  }
  return kOk;
}

ErrCode Generator::Condition(const StatementRecord* r, int32_t* jump) {
  ExprResult e;
  if (ErrCode err = Expression(r->Text1(), r->length1, 1, false, &e)) return err;
  const int32_t length = code.Pos() - e.start;
  if (ctx->optLevel >= 1) {
    if (IsConstantCondition(code.At(e.start), length, false)) {
      code.Truncate(e.start);
      *jump = code.Pos();
      return Put({kOpJump, -1});
    }
    if (IsConstantCondition(code.At(e.start), length, true)) {
      code.Truncate(e.start);
      *jump = -1;
      return Put({kOpSkip, 0});
    }
  }
  *jump = code.Pos();
  return Put({kOpJumpFalse, -1});
}

// "eval(a, b)" as the whole text: the positions of a and b.
bool SplitEvalWithCatch(const char* s, int32_t n, int32_t* comma, int32_t* close) {
  int32_t p = 0;
  while (p < n && s[p] == ' ') p++;
  if (!(p + 4 <= n && !std::memcmp(s + p, "eval", 4))) return false;
  p += 4;
  while (p < n && s[p] == ' ') p++;
  if (p >= n || s[p] != '(') return false;
  int32_t level = 0;
  *comma = -1;
  char previous = ' ';
  for (; p < n; p++) {
    const char c = s[p];
    if (c == '\'' && !EndsOperandChar(previous)) {
      p = ClosingQuote(s, n, p);
      previous = '\'';
      continue;
    }
    if (c == '(' || c == '[' || c == '{') level++;
    if (c == ')' || c == ']' || c == '}') {
      if (--level == 0) break;
    }
    if (c == ',' && level == 1) {
      if (*comma >= 0) return false;
      *comma = p;
    }
    if (c != ' ') previous = c;
  }
  *close = p;
  int32_t end = n;
  while (end > p + 1 && s[end - 1] == ' ') end--;
  return *comma >= 0 && p + 1 == end;
}

ErrCode Generator::EvalWithCatch(const StatementRecord* r, const char* text, int32_t comma,
                                 int32_t close) {
  // try, eval(a), catch, eval(b), end; the statement's targets take the
  // values of either.
  const uint32_t mark = u.scratch->Used();
  const auto* paren = static_cast<const char*>(std::memchr(text, '(', comma));
  const auto open = static_cast<int32_t>(paren - text);
  auto make = [&](int32_t from, int32_t to) -> const StatementRecord* {
    const int32_t length2 = 5 + (to - from) + 1;
    const bool assignment = r->targets > 0;
    const int32_t length1 = assignment ? r->length1 : length2;
    auto* c = static_cast<StatementRecord*>(
        u.scratch->Take(sizeof(StatementRecord) + ((length1 + 3) & ~3) + ((length2 + 3) & ~3)));
    if (!c) return nullptr;
    *c = {r->kind, r->line, r->targets, length1, assignment ? length2 : 0};
    char* call = const_cast<char*>(assignment ? c->Text2() : c->Text1());
    if (assignment) std::memcpy(const_cast<char*>(c->Text1()), r->Text1(), length1);
    std::memcpy(call, "eval(", 5);
    std::memcpy(call + 5, text + from, to - from);
    call[length2 - 1] = ')';
    return c;
  };
  const StatementRecord* first = make(open + 1, comma);
  const StatementRecord* second = make(comma + 1, close);
  ErrCode e = first && second ? kOk : kErrCompOutOfMemory;
  const StatementRecord parts[3] = {
      {kStmtTry, r->line, 0, 0, 0}, {kStmtCatch, r->line, 0, 0, 0}, {kStmtEnd, r->line, 0, 0, 0}};
  if (!e) e = Statement(&parts[0]);
  if (!e) e = Statement(first);
  if (!e) e = Statement(&parts[1]);
  if (!e) e = Statement(second);
  if (!e) e = Statement(&parts[2]);
  u.scratch->Release(mark);
  return e;
}

ErrCode Generator::ExpressionStatement(const StatementRecord* r) {
  const bool show = r->kind == kStmtShow || r->kind == kStmtCommand;
  {
    const char* text = r->targets > 0 ? r->Text2() : r->Text1();
    const int32_t length = r->targets > 0 ? r->length2 : r->length1;
    int32_t comma, close;
    if (SplitEvalWithCatch(text, length, &comma, &close))
      return EvalWithCatch(r, text, comma, close);
  }
  ExprResult e;
  if (r->targets > 0) {
    if (ErrCode err = Expression(r->Text2(), r->length2, r->targets, false, &e)) return err;
    int32_t shown[64];
    if (r->targets > 64) return kErrTooManyIndices;
    if (ErrCode err = CompileTargetList(u, r->Text1(), r->length1, r->targets, shown)) return err;
    for (int32_t i = 0; show && i < r->targets; i++)
      if (ErrCode err = Put({kOpShowVar, static_cast<int16_t>(shown[i])})) return err;
    return kOk;
  }
  if (r == valueStatement) return Expression(r->Text1(), r->length1, u.request->results, false, &e);
  const char* text = r->Text1();
  if (show && NameSpan(text, r->length1, 0) == r->length1) {
    int32_t v = u.vars.Find(text, r->length1);
    if (v >= 0) return Put({kOpDisplayVar, static_cast<int16_t>(v)});
  }
  const int16_t ans = static_cast<int16_t>(u.ansVar);
  if (ErrCode err = Expression(text, r->length1, 0, show || u.ansVar >= 0, &e)) return err;
  if (show)
    return e.count == 0 ? kOk : u.ansVar >= 0 ? Put({kOpStoreAnsShow, ans}) : Put({kOpDisp});
  if (u.ansVar >= 0) return e.count == 0 ? kOk : Put({kOpStoreVar, ans});
  if (ctx->optLevel >= 4 && IsSideEffectFree(code.At(e.start), code.Pos() - e.start)) {
    code.Truncate(e.start);
    return kOk;
  }
  return e.count == 0 ? kOk : Put({kOpPop});
}

ErrCode Generator::Declare(const StatementRecord* r, bool persistent) {
  // The shared value is found (or made) when the declaration runs.
  const char* s = r->Text1();
  for (int32_t p = 0; p < r->length1;) {
    if (!IsNameStart(s[p])) {
      p++;
      continue;
    }
    const int32_t k = NameSpan(s, r->length1, p);
    const int32_t v = u.vars.Find(s + p, k);
    if (ErrCode e = Put(
            {kOpDeclareGlobal, static_cast<int16_t>(v), static_cast<int16_t>(persistent ? 1 : 0)}))
      return e;
    p += k;
  }
  return kOk;
}

ErrCode Generator::For(const StatementRecord* r) {
  // text1 = "v = e" as one assignment (checked by pass 1).
  const char* s = r->Text1();
  int32_t name = 0;
  while (name < r->length1 && (s[name] == ' ' || s[name] == '\t')) name++;
  const int32_t k = NameSpan(s, r->length1, name);
  int32_t p = name + k;
  while (p < r->length1 && (s[p] == ' ' || s[p] == '\t')) p++;
  if (k == 0 || p >= r->length1 || s[p] != '=') return kErrBadForVar;
  const int32_t v = u.vars.Find(s + name, k);
  if (v < 0) return kErrBadForVar;
  ExprResult e;
  if (ErrCode err = Expression(s + p + 1, r->length1 - p - 1, 1, false, &e)) return err;
  // A colon call at the end becomes a range iteration.
  int32_t last = -1;
  for (int32_t q = e.start; q < code.Pos(); q += GetInstructionLength(code.At(q))) last = q;
  bool range = last >= 0 && code.At(last)[0] == kOpColon && last + 2 == code.Pos();
  if (range) code.At(last)[0] = kOpForRangeInit;
  const int32_t head = code.Pos();
  if (ErrCode err = Put({range ? kOpForRangeNext : kOpForNext, -1})) return err;
  if (ErrCode err = Put({kOpStoreVar, static_cast<int16_t>(v)})) return err;
  return Push(kStructFor, r->line, head, head);
}

ErrCode Generator::LeaveLoop(bool isBreak) {
  int32_t loop = depth - 1;
  while (loop >= 0 && open[loop].kind != kStructWhile && open[loop].kind != kStructFor &&
         open[loop].kind != kStructRepeat)
    loop--;
  // Outside a loop; the message of a "continue" names it, not a break.
  if (loop < 0 && isBreak) return kErrUnexpectedBreak;
  if (loop < 0) return CompileErrorText(u, kErrUnexpectedBreak, "Unexpected continue");
  bool leavesTry = false;
  for (int32_t i = loop + 1; i < depth; i++) {
    if (open[i].kind == kStructSwitch)
      if (ErrCode e = Put({kOpPop})) return e;
    leavesTry |= open[i].kind == kStructTry && open[i].state == 0;
  }
  if (leavesTry)
    if (ErrCode e = RestoreHandler(ActiveTry(loop + 1))) return e;
  if (isBreak) return ForwardJump(kOpJump, loop, kPatchBreak);
  if (open[loop].kind == kStructRepeat) return ForwardJump(kOpJump, loop, kPatchContinue);
  return Jump(kOpJump, open[loop].start);
}

ErrCode Generator::Close(int32_t line) {
  if (depth == 0) return kErrUnexpectedEnd;
  OpenStructure& s = open[depth - 1];
  const int32_t self = depth - 1;
  (void)line;
  switch (s.kind) {
    case kStructIf:
      if (s.pending >= 0)
        if (ErrCode e = Land(s.pending, code.Pos())) return e;
      if (ErrCode e = Resolve(self, kPatchEnd, code.Pos())) return e;
      break;
    case kStructWhile:
      if (ErrCode e = Jump(kOpJump, s.start)) return e;
      if (s.pending >= 0)
        if (ErrCode e = Land(s.pending, code.Pos())) return e;
      if (ErrCode e = Resolve(self, kPatchBreak, code.Pos())) return e;
      break;
    case kStructFor:
      if (ErrCode e = Jump(kOpJump, s.start)) return e;
      if (ErrCode e = Land(s.start, code.Pos())) return e;
      if (ErrCode e = Resolve(self, kPatchBreak, code.Pos())) return e;
      if (ErrCode e = Put({kOpPop})) return e;
      break;
    case kStructSwitch:
      if (s.pending >= 0)
        if (ErrCode e = Land(s.pending, code.Pos())) return e;
      if (ErrCode e = Resolve(self, kPatchEnd, code.Pos())) return e;
      if (ErrCode e = Put({kOpPop})) return e;
      break;
    case kStructTry:
      if (s.state == 0) {
        // No catch part: an error only ends the try part.
        StatementRecord none{kStmtCatch, line, 0, 0, 0};
        if (ErrCode e = Statement(&none)) return e;
      }
      if (ErrCode e = Resolve(self, kPatchEnd, code.Pos())) return e;
      break;
    default:  // repeat: closed by "until" only
      return kErrUnexpectedEnd;
  }
  depth--;
  return kOk;
}

ErrCode Generator::Statement(const StatementRecord* r) {
  const int32_t top = depth - 1;
  OpenStructure* s = top >= 0 ? &open[top] : nullptr;
  switch (r->kind) {
    case kStmtQuiet:
    case kStmtShow:
    case kStmtCommand:
    case kStmtQuietCommand:
      return ExpressionStatement(r);
    case kStmtIf: {
      int32_t jump;
      if (ErrCode e = Condition(r, &jump)) return e;
      return Push(kStructIf, r->line, code.Pos(), jump);
    }
    case kStmtElseif:
    case kStmtElse: {
      if (!s || s->kind != kStructIf || s->state) return kErrUnexpectedElse;
      if (ErrCode e = ForwardJump(kOpJump, top, kPatchEnd)) return e;
      if (s->pending >= 0)
        if (ErrCode e = Land(s->pending, code.Pos())) return e;
      s->pending = -1;
      if (ErrCode e = Line(r->line)) return e;
      if (r->kind == kStmtElse) {
        s->state = 1;
        return kOk;
      }
      return Condition(r, &s->pending);
    }
    case kStmtEnd:
      return Close(r->line);
    case kStmtWhile: {
      const int32_t head = code.Pos();
      if (ErrCode e = Line(r->line)) return e;
      int32_t jump;
      if (ErrCode e = Condition(r, &jump)) return e;
      return Push(kStructWhile, r->line, head, jump);
    }
    case kStmtRepeat: {
      if (ErrCode e = Push(kStructRepeat, r->line, code.Pos(), -1)) return e;
      return Line(r->line);
    }
    case kStmtUntil: {
      if (!s || s->kind != kStructRepeat) return kErrUnexpectedUntil;
      if (ErrCode e = Resolve(top, kPatchContinue, code.Pos())) return e;
      if (ErrCode e = Line(r->line)) return e;
      int32_t jump;
      if (ErrCode e = Condition(r, &jump)) return e;
      // Back to the body unless the condition holds (a constant false
      // condition loops for ever, a constant true one never repeats).
      if (jump >= 0)
        if (ErrCode e = Land(jump, s->start)) return e;
      if (ErrCode e = Resolve(top, kPatchBreak, code.Pos())) return e;
      depth--;
      return kOk;
    }
    case kStmtFor:
      return For(r);
    case kStmtSwitch: {
      ExprResult e;
      if (ErrCode err = Expression(r->Text1(), r->length1, 1, false, &e)) return err;
      return Push(kStructSwitch, r->line, code.Pos(), -1);
    }
    case kStmtCase:
    case kStmtOtherwise: {
      if (!s || s->kind != kStructSwitch || s->state == kAfterOtherwise) return kErrUnexpectedCase;
      if (s->state > 0)
        if (ErrCode e = ForwardJump(kOpJump, top, kPatchEnd)) return e;
      if (s->pending >= 0)
        if (ErrCode e = Land(s->pending, code.Pos())) return e;
      s->pending = -1;
      if (ErrCode e = Line(r->line)) return e;
      if (r->kind == kStmtOtherwise) {
        s->state = kAfterOtherwise;
        return kOk;
      }
      s->state++;
      ExprResult e;
      if (ErrCode err = Expression(r->Text1(), r->length1, 1, false, &e)) return err;
      s->pending = code.Pos();
      return Put({kOpCaseJump, -1});
    }
    case kStmtBreak:
    case kStmtContinue:
      return LeaveLoop(r->kind == kStmtBreak);
    case kStmtReturn:
      return Put({u.request->isText ? kOpHalt : kOpReturn});
    case kStmtTry: {
      const int32_t keep = KeepCount(depth);
      if (ErrCode e = Push(kStructTry, r->line, code.Pos(), -1)) return e;
      open[depth - 1].keep = keep;
      if (ErrCode e = AddPatch(depth - 1, kPatchCatch, code.Pos())) return e;
      return Put({kOpSetTry, -1, static_cast<int16_t>(keep)});
    }
    case kStmtCatch: {
      if (!s || s->kind != kStructTry || s->state) return kErrUnexpectedCatch;
      const int32_t outer = ActiveTry(top);
      if (ErrCode e = RestoreHandler(outer)) return e;
      if (ErrCode e = ForwardJump(kOpJump, top, kPatchEnd)) return e;
      s->state = 1;
      s->catchAt = code.Pos();
      if (ErrCode e = Resolve(top, kPatchCatch, code.Pos())) return e;
      if (ErrCode e = RestoreHandler(outer)) return e;
      return Line(r->line);
    }
    case kStmtGlobal:
    case kStmtPersistent:
      return Declare(r, r->kind == kStmtPersistent);
    case kStmtCopyInput: {
      const int32_t out = Load<int32_t>(r->Text1()), in = Load<int32_t>(r->Text2());
      return Put({kOpNargin, 0, kOpPushSmallInt, static_cast<int16_t>(r->targets), kOpGe,
                  kOpJumpFalse, 4, kOpLoadVar, static_cast<int16_t>(in), kOpStoreVar,
                  static_cast<int16_t>(out)});
    }
    default:
      return kErrIllegal;
  }
}

ErrCode Generator::Run(const StatementRecord* first, int32_t count) {
  const uint32_t mark = u.scratch->Used();
  patchCapacity = static_cast<int32_t>(
      std::max<uint64_t>(kLeastPatches, u.scratch->Free() / kPatchShare / sizeof(PendingPatch)));
  patches = static_cast<PendingPatch*>(
      u.scratch->Take(static_cast<uint32_t>(patchCapacity) * sizeof(PendingPatch)));
  if (!patches) return CompileError(u, kErrCompOutOfMemory);
  if (u.request->isText && u.request->results > 0) {
    const StatementRecord* r = first;
    for (int32_t i = 0; i < count; i++, r = r->Next())
      if ((r->kind == kStmtQuiet || r->kind == kStmtShow) && r->targets == 0) valueStatement = r;
    if (!valueStatement) {
      ErrorDetails d;
      d.integer = u.request->results;
      return CompileErrorWith(u, kErrIncorrectNargout, d);
    }
  }
  ErrCode e = kOk;
  if (ctx->lineMarkers) e = Put({kOpLine, -1, 0});
  const StatementRecord* r = first;
  for (int32_t i = 0; i < count && !e; i++, r = r->Next()) {
    u.line = r->line;
    const bool markerAfterJumps = r->kind == kStmtElseif || r->kind == kStmtElse ||
                                  r->kind == kStmtCase || r->kind == kStmtOtherwise ||
                                  r->kind == kStmtWhile || r->kind == kStmtRepeat ||
                                  r->kind == kStmtUntil || r->kind == kStmtCatch;
    if (!markerAfterJumps && r->kind != kStmtCopyInput) e = Line(r->line);
    if (!e) e = Statement(r);
  }
  // An open-ended source whose last statement or blocks its end left open
  // lacks only what may follow.
  if (!e && (u.cutShort || (depth > 0 && u.request->openEnd && u.reachedEnd))) e = kErrEof;
  if (!e && depth > 0) {
    u.line = open[depth - 1].line;
    ErrorDetails d;
    d.name = StructureName(open[depth - 1].kind);
    e = CompileErrorWith(u, kErrUnboundedConstruct, d);
  }
  if (!e) e = Put({u.request->isText ? kOpHalt : kOpReturn});
  u.scratch->Release(mark);
  return e ? CompileError(u, e) : kOk;
}

}  // namespace

ErrCode CompileStatements(CompileUnit& u, const StatementRecord* first, int32_t count) {
  Generator g(u);
  return g.Run(first, count);
}

}  // namespace vke
