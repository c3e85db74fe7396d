// Pass 1 of the compiler: the function header (outputs, name, inputs with
// default values), the split of the body into statements classified by
// their leading keyword, command syntax rewritten as calls, assignments
// split at their top-level "=", and the variable table (arguments, then
// every assigned name in order of appearance).
//
// Statement texts are stored normalised: comments and continuations become
// blanks, a line end inside a bracket what the bracket's row of
// kStatementBrackets gives (";" inside "[ ]" and "{ }", a blank inside
// "( )"), so that the expression compiler sees one line. The keywords are
// the rows of compiler/statement_keywords.def.
#include "compiler/compile_internal.hpp"
#include "compiler/lexer_helpers.hpp"
#include "compiler/scan.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxBracketDepth = 64;
constexpr int32_t kTooDeep = -1;  // Extract: brackets nested past kMaxBracketDepth

struct KeywordKind {
  const char* keyword;
  StatementKind kind;
  bool expression;   // takes an expression (else none may follow)
  bool bodyFollows;  // a statement may follow on the keyword's line
};
// Tested in this order.
constexpr KeywordKind kKeywordKinds[] = {
#define VKE_STATEMENT_KEYWORD(word, kind, expression, blocks, bodyFollows) \
  {word, kind, expression, bodyFollows},
#include "compiler/statement_keywords.def"
#undef VKE_STATEMENT_KEYWORD
};

// Keywords that have no statement of their own here.
constexpr const char* kReservedKeywords[] = {"classdef", "goto"};

class Parser {
 public:
  Parser(CompileUnit& unit, const char* text, int32_t length)
      : u(unit), t(text), n(length), line(unit.request->firstLine) {}
  ErrCode Run(const StatementRecord** first, int32_t* count);

 private:
  CompileUnit& u;
  const char* t;
  int32_t n;
  int32_t pos = 0;
  int32_t line;
  const StatementRecord* first_ = nullptr;
  int32_t count_ = 0;
  // With an open end: the last Extract ran into the end of the source with
  // the statement still open; the record read so.
  bool cut_ = false;
  StatementRecord* cutRecord_ = nullptr;

  char At(int32_t p) const { return p < n ? t[p] : '\0'; }
  // The error of a statement that lacks something: kErrEof when the end of
  // an open-ended source cut it short, since more text may bring it.
  ErrCode Lacking(ErrCode code) const { return cutRecord_ ? kErrEof : code; }
  ErrCode Fail(ErrCode code) {
    u.line = line;
    return CompileError(u, code);
  }
  // A failure of the statement as a whole, placed at the line it starts on
  // however many lines it spans.
  ErrCode FailAt(ErrCode code, int32_t statementLine) {
    line = statementLine;
    return Fail(code);
  }
  // The normalised text of the statement at pos, into out (capacity bytes);
  // its length, or kTooDeep.
  int32_t Extract(char* out, int32_t capacity, bool* quiet);
  // Adds a record; text2 may be null.
  ErrCode AddRecord(int32_t kind, int32_t recordLine, int32_t targets, const char* text1,
                    int32_t length1, const char* text2, int32_t length2);
  // Reads the statement at pos into a new record of the kind (its whole text
  // as text1), giving the record.
  ErrCode ReadStatement(int32_t kind, int32_t recordLine, StatementRecord** record);
  // Gives back the scratch behind a record whose texts were shortened.
  void Shrink(const StatementRecord* r) {
    u.scratch->Release(u.scratch->OffsetOf(r) +
                       static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(r->Next()) -
                                             reinterpret_cast<const uint8_t*>(r)));
  }
  // Blanks, tabs and continuations, never a line end.
  void SkipInline() {
    for (;;) {
      while (pos < n && (t[pos] == ' ' || t[pos] == '\t')) pos++;
      if (!(At(pos) == '.' && At(pos + 1) == '.' && At(pos + 2) == '.')) return;
      SkipSpaceAndComments(t, n, &pos, false, &line);
    }
  }
  ErrCode ParseHeader();
  // The variables the request says the body has, behind the header's.
  ErrCode TakeBodyNames();
  ErrCode ParseDefine();
  ErrCode ParseArgumentList(char close, bool inputs);
  ErrCode ParseExpressionStatement(int32_t recordLine);
  ErrCode SkipDefinition();
  bool IsCommand(const char* s, int32_t length) const;
  // Whether what follows pos up to the statement's end is nothing, a
  // statement led by a keyword or an assignment; pos stays.
  bool StatementFollows();
};

int32_t Parser::Extract(char* out, int32_t capacity, bool* quiet) {
  const StatementBracket* stack[kMaxBracketDepth];
  int32_t depth = 0, k = 0;
  char previous = ' ';
  bool openAtEnd = false;  // a comment or a continuation the end left open
  *quiet = false;
  auto put = [&](char c) {
    if (k < capacity) out[k] = c;
    k++;
  };
  while (pos < n && (t[pos] == ' ' || t[pos] == '\t')) pos++;
  while (pos < n) {
    char c = t[pos];
    if (IsLineEnd(c)) {
      if (depth == 0) break;
      if (c == '\r' && At(pos + 1) == '\n') pos++;
      pos++;
      line++;
      put(stack[depth - 1]->lineEnd);
      previous = ' ';
      continue;
    }
    if (c == '%' || (c == '/' && At(pos + 1) == '/')) {
      while (pos < n && !IsLineEnd(t[pos])) pos++;
      continue;
    }
    if (c == '/' && At(pos + 1) == '*') {
      pos += 2;
      while (pos < n && !(t[pos] == '*' && At(pos + 1) == '/')) {
        if (t[pos] == '\n' || (t[pos] == '\r' && At(pos + 1) != '\n')) line++;
        pos++;
      }
      openAtEnd = pos >= n;
      pos = pos < n ? pos + 2 : n;
      put(' ');
      previous = ' ';
      continue;
    }
    if (c == '.' && At(pos + 1) == '.' && At(pos + 2) == '.') {
      while (pos < n && !IsLineEnd(t[pos])) pos++;
      if (pos < n) {
        if (t[pos] == '\r' && At(pos + 1) == '\n') pos++;
        pos++;
        line++;
      }
      openAtEnd = pos >= n;
      put(' ');
      previous = ' ';
      continue;
    }
    if (depth == 0 && (c == ',' || c == ';')) {
      *quiet = c == ';';
      pos++;
      break;
    }
    if (c == '\'' && !EndsOperandChar(previous)) {
      // A string, copied as it is up to its closing quote.
      put(t[pos++]);
      while (pos < n && !IsLineEnd(t[pos])) {
        char s = t[pos++];
        put(s);
        if (s == '\\' && pos < n && !IsLineEnd(t[pos])) {
          put(t[pos++]);
        } else if (s == '\'') {
          if (At(pos) == '\'')
            put(t[pos++]);
          else
            break;
        }
      }
      previous = '\'';
      continue;
    }
    if (const StatementBracket* bracket = OpeningBracket(c)) {
      if (depth == kMaxBracketDepth) return kTooDeep;
      stack[depth++] = bracket;
    } else if (IsClosingBracket(c) && depth > 0) {
      depth--;
    }
    put(c);
    previous = c == ' ' || c == '\t' ? ' ' : c;
    pos++;
  }
  cut_ = u.request->openEnd && pos >= n && (depth > 0 || openAtEnd);
  while (k > 0 && k <= capacity && (out[k - 1] == ' ' || out[k - 1] == '\t')) k--;
  return k;
}

ErrCode Parser::AddRecord(int32_t kind, int32_t recordLine, int32_t targets, const char* text1,
                          int32_t length1, const char* text2, int32_t length2) {
  uint32_t bytes = sizeof(StatementRecord) + ((length1 + 3) & ~3) + ((length2 + 3) & ~3);
  auto* r = static_cast<StatementRecord*>(u.scratch->Take(bytes));
  if (!r) return Fail(kErrCompOutOfMemory);
  *r = {kind, recordLine, targets, length1, length2};
  std::memcpy(const_cast<char*>(r->Text1()), text1, length1);
  if (length2) std::memcpy(const_cast<char*>(r->Text2()), text2, length2);
  if (!first_) first_ = r;
  count_++;
  return kOk;
}

ErrCode Parser::ReadStatement(int32_t kind, int32_t recordLine, StatementRecord** record) {
  // The text goes straight into the record; the scratch is shrunk after.
  const uint32_t mark = u.scratch->Used();
  const uint32_t room = u.scratch->Free();
  if (room < sizeof(StatementRecord) + 16) return Fail(kErrCompOutOfMemory);
  auto* r = static_cast<StatementRecord*>(u.scratch->Take(room - 8));
  if (!r) return Fail(kErrCompOutOfMemory);
  bool quiet;
  const int32_t capacity = static_cast<int32_t>(room - 8 - sizeof(StatementRecord));
  char* text = const_cast<char*>(r->Text1());
  int32_t length = Extract(text, capacity, &quiet);
  if (length == kTooDeep) {
    u.scratch->Release(mark);
    return FailAt(kErrTooManyNestedPar, recordLine);
  }
  if (length > capacity) {
    u.scratch->Release(mark);
    return FailAt(kErrCompOutOfMemory, recordLine);
  }
  if (length > 0x7FFF) {
    u.scratch->Release(mark);
    return FailAt(kErrExprTooLarge, recordLine);
  }
  *r = {kind == kStmtShow && quiet ? kStmtQuiet : kind, recordLine, 0, length, 0};
  if (cut_) cutRecord_ = r;
  u.scratch->Release(static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(r->Next()) -
                                           reinterpret_cast<const uint8_t*>(r)) +
                     ((mark + 7) & ~7u));
  if (!first_) first_ = r;
  count_++;
  *record = r;
  return kOk;
}

// Reads the target list of an assignment: the number of targets and each
// target's base name made a variable. 212 for anything else.
ErrCode ScanTargets(CompileUnit& u, const char* s, int32_t length, int32_t* targets) {
  int32_t p = 0;
  auto blanks = [&] {
    while (p < length && (s[p] == ' ' || s[p] == '\t')) p++;
  };
  blanks();
  const char open = p < length ? s[p] : 0;
  const bool list = open == '[' || open == '(';
  const char close = open == '[' ? ']' : ')';
  if (list) p++;
  *targets = 0;
  for (;;) {
    blanks();
    if (list && p < length && s[p] == ',' && *targets > 0) {
      p++;
      blanks();
    }
    if (list && p < length && s[p] == close) {
      p++;
      break;
    }
    if (p >= length) {
      if (list || *targets == 0) return kErrBadAsgnVar;
      break;
    }
    if (!list && *targets > 0) return kErrBadAsgnVar;
    int32_t k = NameSpan(s, length, p);
    if (k == 0 || !IsNameStart(s[p])) return kErrBadAsgnVar;
    int32_t variable;
    if (ErrCode e = u.vars.Add(s + p, k, &variable)) return e;
    p += k;
    (*targets)++;
    // Its index and field steps.
    for (;;) {
      int32_t q = p;
      if (!list)
        while (q < length && (s[q] == ' ' || s[q] == '\t')) q++;
      char c = q < length ? s[q] : 0;
      if (c == '.' && q == p) {
        p = q + 1;
        if (p < length && s[p] == '(')
          c = '(';
        else {
          p += NameSpan(s, length, p);
          continue;
        }
      }
      if (c != '(' && c != '{') break;
      p = q;
      int32_t level = 0;
      char previous = ' ';
      for (; p < length; p++) {
        char d = s[p];
        if (d == '\'' && !EndsOperandChar(previous)) {
          p = ClosingQuote(s, length, p);
        } else if (d == '(' || d == '[' || d == '{') {
          level++;
        } else if (d == ')' || d == ']' || d == '}') {
          if (--level == 0) break;
        }
        previous = d;
      }
      if (p >= length) return kErrBadAsgnVar;
      p++;
    }
  }
  blanks();
  return p == length ? kOk : kErrBadAsgnVar;
}

// The position of the top-level "=" of an assignment, -1 when none.
int32_t FindAssignment(const char* s, int32_t length) {
  int32_t level = 0;
  char previous = ' ';
  for (int32_t p = 0; p < length; p++) {
    char c = s[p];
    if (c == '\'' && !EndsOperandChar(previous)) {
      p = ClosingQuote(s, length, p);
      previous = '\'';
      continue;
    }
    if (c == '(' || c == '[' || c == '{') level++;
    if (c == ')' || c == ']' || c == '}') level--;
    if (c == '=' && level == 0) {
      int32_t run = 1;
      while (p + run < length && s[p + run] == '=') run++;
      if (run == 1 && previous != '<' && previous != '>' && previous != '~') return p;
      p += run - 1;
    }
    if (c != ' ' && c != '\t') previous = c;
  }
  return -1;
}

bool Parser::IsCommand(const char* s, int32_t length) const {
  int32_t k = NameSpan(s, length, 0);
  if (k == 0 || k >= length || (s[k] != ' ' && s[k] != '\t')) return false;
  if (u.vars.Find(s, k) >= 0) return false;
  int32_t p = k;
  while (p < length && (s[p] == ' ' || s[p] == '\t')) p++;
  if (p >= length) return false;
  const char c = s[p];
  // An operator followed by a blank keeps it an expression: "a - b".
  int32_t q = p;
  while (q < length && std::strchr("+-*/\\^.<>=~&|:?", s[q])) q++;
  if (q > p && (q >= length || s[q] == ' ' || s[q] == '\t')) return false;
  return IsNameChar(c) || c == '.' || c == '/' || c == '-' || c == ':' || c == '*' || c == '\'' ||
         static_cast<uint8_t>(c) > 127;
}

// name('word1','word2') from "name word1 word2".
int32_t ConvertCommand(const char* s, int32_t length, char* out, int32_t capacity) {
  int32_t k = 0;
  auto put = [&](char c) {
    if (k < capacity) out[k] = c;
    k++;
  };
  int32_t p = NameSpan(s, length, 0);
  for (int32_t i = 0; i < p; i++) put(s[i]);
  put('(');
  bool firstWord = true;
  for (;;) {
    while (p < length && (s[p] == ' ' || s[p] == '\t')) p++;
    if (p >= length) break;
    if (!firstWord) put(',');
    firstWord = false;
    put('\'');
    if (s[p] == '\'') {
      for (p++; p < length; p++) {
        if (s[p] == '\'' && !(p + 1 < length && s[p + 1] == '\'')) {
          p++;
          break;
        }
        if (s[p] == '\'') put(s[p++]);
        put(s[p]);
      }
    } else {
      for (; p < length && s[p] != ' ' && s[p] != '\t'; p++) {
        if (s[p] == '\'' || s[p] == '\\') put('\\');
        put(s[p]);
      }
    }
    put('\'');
  }
  put(')');
  return k;
}

ErrCode Parser::ParseExpressionStatement(int32_t recordLine) {
  const uint32_t mark = u.scratch->Used();
  const uint32_t recordAt = (mark + 7) & ~7u;
  StatementRecord* r = nullptr;
  if (ErrCode e = ReadStatement(kStmtShow, recordLine, &r)) return e;
  char* text = const_cast<char*>(r->Text1());
  const int32_t length = r->length1;
  if (length == 0) {  // an empty statement
    u.scratch->Release(mark);
    if (first_ == r) first_ = nullptr;
    count_--;
    // Only blanks, comments and a continuation so far: more may follow.
    if (cutRecord_ == r) {
      cutRecord_ = nullptr;
      u.cutShort = true;
    }
    return kOk;
  }
  const int32_t split = FindAssignment(text, length);
  if (split >= 0) {
    int32_t targets;
    // A bad target is reported at the statement's first line.
    if (ErrCode e = ScanTargets(u, text, split, &targets)) return FailAt(e, recordLine);
    // text1 = targets, text2 = the right-hand side, moved to its place.
    int32_t rhs = split + 1;
    while (rhs < length && (text[rhs] == ' ' || text[rhs] == '\t')) rhs++;
    int32_t lhs = split;
    while (lhs > 0 && (text[lhs - 1] == ' ' || text[lhs - 1] == '\t')) lhs--;
    const int32_t length2 = length - rhs;
    if (length2 == 0) return Fail(Lacking(kErrMissingExpr));
    r->targets = targets;
    r->length1 = lhs;
    std::memmove(const_cast<char*>(r->Text2()), text + rhs, length2);
    r->length2 = length2;
    Shrink(r);
    return kOk;
  }
  if (IsCommand(text, length)) {
    // The call text may be longer: build it behind the record, then move it.
    const int32_t need = ConvertCommand(text, length, nullptr, 0);
    const uint32_t bytes = sizeof(StatementRecord) + ((need + 3) & ~3);
    auto* c = static_cast<StatementRecord*>(u.scratch->Take(bytes));
    if (!c) return Fail(kErrCompOutOfMemory);
    ConvertCommand(text, length, const_cast<char*>(c->Text1()), need);
    *c = {r->kind == kStmtQuiet ? kStmtQuietCommand : kStmtCommand, recordLine, 0, need, 0};
    const auto size = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(c->Next()) -
                                            reinterpret_cast<const uint8_t*>(c));
    std::memmove(r, c, size);
    u.scratch->Release(recordAt + size);
  }
  return kOk;
}

ErrCode Parser::ParseArgumentList(char close, bool inputs) {
  // pos is behind the opening bracket.
  int32_t index = 0;
  bool vararg = false;
  auto blanks = [&] {
    for (;;) {
      int32_t before = pos;
      SkipSpaceAndComments(t, n, &pos, false, &line);
      if (pos == before) break;
    }
  };
  blanks();
  if (At(pos) == close) {
    pos++;
    return kOk;
  }
  for (;;) {
    blanks();
    int32_t k = NameSpan(t, n, pos);
    if (k == 0 || !IsNameStart(At(pos))) return Fail(kErrBadVarName);
    if (vararg) return Fail(inputs ? kErrMisplacedVarargin : kErrMisplacedVarargout);
    const char* name = t + pos;
    const char* special = inputs ? "varargin" : "varargout";
    vararg = k == static_cast<int32_t>(std::strlen(special)) && !std::memcmp(name, special, k);
    int32_t variable;
    ErrCode e;
    const int32_t output = inputs ? u.vars.Find(name, k) : -1;
    if (output >= 0 && output < u.header.outputs) {
      // A name that is an output too gets an input slot of its own; the
      // body sees the output, which starts as the input's value.
      e = u.vars.AddShadow(name, k, &variable);
      if (!e) {
        const int32_t slots[2] = {output, variable};
        e = AddRecord(kStmtCopyInput, line, index + 1, reinterpret_cast<const char*>(&slots[0]), 4,
                      reinterpret_cast<const char*>(&slots[1]), 4);
      }
    } else {
      e = u.vars.AddNew(name, k, &variable);
    }
    if (e) return Fail(e);
    pos += k;
    index++;
    blanks();
    if (inputs && At(pos) == '=' && At(pos + 1) != '=') {
      // A default value: "if nargin<k, name = expression; end".
      pos++;
      blanks();
      int32_t start = pos, level = 0;
      char previous = ' ';
      for (; pos < n; pos++) {
        char c = t[pos];
        if (c == '\'' && !EndsOperandChar(previous)) {
          pos = ClosingQuote(t, n, pos);
          previous = '\'';
          continue;
        }
        if (level == 0 && (c == ',' || c == close)) break;
        if (c == '(' || c == '[' || c == '{') level++;
        if (c == ')' || c == ']' || c == '}') level--;
        previous = c;
      }
      int32_t end = pos;
      while (end > start && (t[end - 1] == ' ' || t[end - 1] == '\t')) end--;
      if (end == start) return Fail(kErrMissingExpr);
      char condition[24];
      int32_t cl = std::snprintf(condition, sizeof condition, "nargin<%d", index);
      if (ErrCode err = AddRecord(kStmtIf, line, 0, condition, cl, nullptr, 0)) return err;
      if (ErrCode err = AddRecord(kStmtQuiet, line, 1, name, k, t + start, end - start)) return err;
      if (ErrCode err = AddRecord(kStmtEnd, line, 0, "", 0, nullptr, 0)) return err;
    }
    if (At(pos) == ',') {
      pos++;
      continue;
    }
    if (At(pos) == close) {
      pos++;
      break;
    }
    if (!inputs && IsNameStart(At(pos))) continue;  // "[a b] = ..."
    return Fail(kErrBadFunHeader);
  }
  if (inputs) {
    u.header.inputs = static_cast<uint16_t>(index);
    if (vararg) u.header.flags |= kFnVarargin;
  } else {
    u.header.outputs = static_cast<uint16_t>(index);
    if (vararg) u.header.flags |= kFnVarargout;
  }
  return kOk;
}

ErrCode Parser::ParseHeader() {
  auto blanks = [&] { SkipInline(); };
  blanks();
  // Outputs: "[a, b] =", "(a, b) =" or "a =".
  const int32_t save = pos, saveLine = line;
  if (At(pos) == '[' || At(pos) == '(') {
    char close = At(pos) == '[' ? ']' : ')';
    pos++;
    if (ErrCode e = ParseArgumentList(close, false)) return e;
    blanks();
    if (At(pos) != '=') return Fail(kErrBadFunHeader);
    pos++;
  } else {
    int32_t k = NameSpan(t, n, pos);
    int32_t p = pos + k;
    while (p < n && (t[p] == ' ' || t[p] == '\t')) p++;
    if (k > 0 && At(p) == '=' && At(p + 1) != '=') {
      int32_t variable;
      if (ErrCode e = u.vars.AddNew(t + pos, k, &variable)) return Fail(e);
      if (k == 9 && !std::memcmp(t + pos, "varargout", 9)) u.header.flags |= kFnVarargout;
      u.header.outputs = 1;
      pos = p + 1;
    } else {
      pos = save;
      line = saveLine;
    }
  }
  blanks();
  int32_t k = NameSpan(t, n, pos);
  if (k == 0 || !IsNameStart(At(pos))) return Fail(kErrBadFunHeader);
  pos += k;
  if (At(pos) == ':' && At(pos + 1) == ':') {
    pos += 2;
    k = NameSpan(t, n, pos);
    if (k == 0) return Fail(kErrBadFunHeader);
    pos += k;
  }
  blanks();
  if (At(pos) == '(') {
    pos++;
    if (ErrCode e = ParseArgumentList(')', true)) return e;
  }
  // The rest of the header statement must be empty.
  bool quiet;
  char rest[8];
  const int32_t length = Extract(rest, sizeof rest, &quiet);
  if (length != 0) return Fail(length == kTooDeep ? kErrTooManyNestedPar : kErrBadFunHeader);
  return kOk;
}

ErrCode Parser::TakeBodyNames() {
  for (int32_t i = 0; i < u.request->bodyVars; i++) {
    const char* name = u.request->bodyNames + static_cast<size_t>(i) * kVarNameBytes;
    int32_t variable;
    if (ErrCode e = u.vars.Add(name, static_cast<int32_t>(strnlen(name, kVarNameBytes)), &variable))
      return Fail(e);
  }
  return kOk;
}

ErrCode Parser::ParseDefine() {
  StatementRecord* r = nullptr;
  const int32_t recordLine = line;
  if (ErrCode e = ReadStatement(kStmtQuiet, recordLine, &r)) return e;
  const char* text = r->Text1();
  const int32_t split = FindAssignment(text, r->length1);
  int32_t k = NameSpan(text, r->length1, 0);
  int32_t lhs = split;
  while (lhs > 0 && (text[lhs - 1] == ' ' || text[lhs - 1] == '\t')) lhs--;
  if (k == 0 || !IsNameStart(text[0]) || split < 0 || lhs != k) return Fail(kErrBadDefinition);
  int32_t variable;
  if (ErrCode e = u.vars.AddNew(text, k, &variable)) return Fail(e);
  u.header.flags |= kFnDefine;
  u.header.outputs = 1;
  int32_t rhs = split + 1;
  while (rhs < r->length1 && (text[rhs] == ' ' || text[rhs] == '\t')) rhs++;
  const int32_t length2 = r->length1 - rhs;
  r->kind = kStmtQuiet;
  r->targets = 1;
  r->length1 = k;
  std::memmove(const_cast<char*>(r->Text2()), text + rhs, length2);
  r->length2 = length2;
  Shrink(r);
  if (length2 == 0) return Fail(kErrMissingExpr);
  return kOk;
}

ErrCode Parser::SkipDefinition() {
  // Up to its "endfunction", or the next definition or the end of the text.
  for (;;) {
    SkipStatement(t, n, &pos, &line, true);
    SkipSpaceAndComments(t, n, &pos, true, &line);
    if (pos >= n) return kOk;
    int32_t p = pos;
    if (MatchKeywordAt(t, n, &p, "endfunction")) {
      pos = p;
      return kOk;
    }
    if (MatchKeywordAt(t, n, &p, "function") || MatchKeywordAt(t, n, &p, "define")) return kOk;
  }
}

bool Parser::StatementFollows() {
  int32_t p = pos;
  for (const KeywordKind& k : kKeywordKinds)
    if (MatchKeywordAt(t, n, &p, k.keyword)) return true;
  const int32_t start = pos, startLine = line;
  const uint32_t mark = u.scratch->Used();
  const uint32_t room = u.scratch->Free() > 8 ? u.scratch->Free() - 8 : 0;
  auto* text = static_cast<char*>(u.scratch->Take(room));
  bool quiet;
  const int32_t length = text ? Extract(text, static_cast<int32_t>(room), &quiet) : -1;
  // A text longer than the scratch is left for the statement to report.
  const bool follows = length == 0 || length < 0 || length > static_cast<int32_t>(room) ||
                       FindAssignment(text, length) >= 0;
  u.scratch->Release(mark);
  pos = start;
  line = startLine;
  return follows;
}

ErrCode Parser::Run(const StatementRecord** first, int32_t* count) {
  const bool text = u.request->isText;
  bool headerDone = text;
  for (;;) {
    SkipSpaceAndComments(t, n, &pos, true, &line);
    if (pos >= n) {
      u.reachedEnd = true;
      break;
    }
    const int32_t recordLine = line;
    u.line = line;
    int32_t p = pos;
    if (MatchKeywordAt(t, n, &p, "function")) {
      if (text) {
        if (ErrCode e = SkipDefinition()) return e;
        continue;
      }
      if (headerDone) break;  // the next function ends this one
      pos = p;
      headerDone = true;
      if (ErrCode e = ParseHeader()) return e;
      if (ErrCode e = TakeBodyNames()) return e;
      continue;
    }
    if (MatchKeywordAt(t, n, &p, "define")) {
      if (text) {
        SkipStatement(t, n, &pos, &line, true);
        continue;
      }
      if (headerDone) return Fail(kErrUnexpectedConstDef);
      pos = p;
      headerDone = true;
      u.isDefine = true;
      if (ErrCode e = ParseDefine()) return e;
      break;  // the constant's body is its one assignment
    }
    if (!headerDone) return Fail(kErrExpectedFunHeader);
    if (MatchKeywordAt(t, n, &p, "endfunction")) {
      if (text) return Fail(kErrUnexpectedEndFunction);
      break;
    }
    if (MatchKeywordAt(t, n, &p, "_pragma")) {
      pos = p;
      SkipSpaceAndComments(t, n, &pos, false, &line);
      int32_t k = NameSpan(t, n, pos);
      if (k == 0 || !IsNameStart(At(pos))) return Fail(kErrUnrecognizedToken);
      const bool lineMarker = k == 4 && !std::memcmp(t + pos, "line", 4);
      pos += k;
      SkipSpaceAndComments(t, n, &pos, false, &line);
      int32_t value = 0;
      bool digits = false;
      while (pos < n && t[pos] >= '0' && t[pos] <= '9') {
        value = value * 10 + (t[pos++] - '0');
        digits = true;
        if (value > 100000000) return Fail(kErrUnrecognizedToken);
      }
      SkipStatement(t, n, &pos, &line);
      // The line after the pragma is line n.
      if (lineMarker && digits) line = value - 1;
      continue;
    }
    bool visibility = false;
    for (const VisibilityWord& v : kVisibilityWords) visibility |= MatchKeywordAt(t, n, &p, v.word);
    if (visibility) {
      // Only the word: a definition may follow it on its line, as the scan
      // for definitions reads it.
      pos = p;
      continue;
    }
    if (MatchKeywordAt(t, n, &p, "use") || MatchKeywordAt(t, n, &p, "useifexists")) {
      pos = p;
      SkipStatement(t, n, &pos, &line);
      continue;
    }
    if (MatchKeywordAt(t, n, &p, "include") || MatchKeywordAt(t, n, &p, "includeifexists"))
      return Fail(kErrIncludeNotPermitted);
    bool reserved = false;
    for (const char* word : kReservedKeywords) reserved |= MatchKeywordAt(t, n, &p, word);
    if (reserved) return Fail(kErrUnexpectedStatement);
    const KeywordKind* keyword = nullptr;
    for (const KeywordKind& k : kKeywordKinds)
      if (MatchKeywordAt(t, n, &p, k.keyword)) {
        keyword = &k;
        break;
      }
    if (!keyword) {
      if (ErrCode e = ParseExpressionStatement(recordLine)) return e;
      continue;
    }
    pos = p;
    if (keyword->bodyFollows) {
      // A body may begin on the keyword's line: "else x = 1", "try, f(x)";
      // anything else there is an expression the keyword does not take.
      while (pos < n && (t[pos] == ' ' || t[pos] == '\t')) pos++;
      if (pos < n && (t[pos] == ',' || t[pos] == ';'))
        pos++;
      else if (!StatementFollows())
        return Fail(kErrUnexpectedExpr);
      if (ErrCode e = AddRecord(keyword->kind, recordLine, 0, "", 0, nullptr, 0)) return e;
      continue;
    }
    if (keyword->kind == kStmtPersistent) {
      if (text) return Fail(kErrUnexpectedPersistent);
      if (!u.ctx->lineMarkers) return Fail(kErrNotSupported);
    }
    StatementRecord* r = nullptr;
    if (ErrCode e = ReadStatement(keyword->kind, recordLine, &r)) return e;
    r->kind = keyword->kind;
    u.line = recordLine;
    if (keyword->expression && r->length1 == 0) return Fail(Lacking(kErrMissingExpr));
    if (!keyword->expression && r->length1 != 0) return Fail(kErrUnexpectedExpr);
    if (keyword->kind == kStmtFor) {
      int32_t split = FindAssignment(r->Text1(), r->length1);
      int32_t targets = 0;
      const ErrCode e = split < 0 ? kErrBadAsgnVar : ScanTargets(u, r->Text1(), split, &targets);
      // A limit reached (too many variables) is reported as itself.
      if (e && e != kErrBadAsgnVar) return Fail(e);
      if (split < 0) return Fail(Lacking(kErrBadForAssignment));
      if (e || targets != 1) return Fail(kErrBadForAssignment);
    }
    if (keyword->kind == kStmtGlobal || keyword->kind == kStmtPersistent) {
      const char* s = r->Text1();
      for (int32_t q = 0; q < r->length1;) {
        if (s[q] == ' ' || s[q] == '\t') {
          q++;
          continue;
        }
        int32_t k = NameSpan(s, r->length1, q);
        int32_t variable;
        if (k == 0 || !IsNameStart(s[q])) return Fail(kErrBadVarName);
        if (ErrCode e = u.vars.Add(s + q, k, &variable)) return Fail(e);
        q += k;
      }
    }
  }
  if (!headerDone) return Fail(kErrExpectedFunHeader);
  if (cutRecord_) {
    const StatementRecord* r = cutRecord_;
    u.cutShort = true;
    u.cutEnd = r->length2 > 0 ? r->Text2() + r->length2 : r->Text1() + r->length1;
  }
  *first = first_;
  *count = count_;
  return kOk;
}

}  // namespace

ErrCode ParseStatements(CompileUnit& u, const char* text, int32_t length,
                        const StatementRecord** first, int32_t* count) {
  Parser p(u, text, length);
  return p.Run(first, count);
}

}  // namespace vke
