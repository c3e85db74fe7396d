// Scanning source texts for function definitions.
#include "compiler/scan.hpp"

#include "compiler/compile_internal.hpp"
#include "compiler/lexer_helpers.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"

namespace vke {

namespace {

struct Cursor {
  const char* text;
  int32_t length;
  int32_t pos;
  int32_t* lines;

  char At(int32_t offset = 0) const { return pos + offset < length ? text[pos + offset] : '\0'; }
  // Blanks and continuations inside the statement; false at its end.
  bool SkipInside() {
    return SkipSpaceAndComments(text, length, &pos, false, lines) != kSkippedLineEnd;
  }
  // "=" that is not "==".
  bool TakeAssign() {
    if (At() != '=' || At(1) == '=') return false;
    pos++;
    return true;
  }
  // A name, optionally "lib::name".
  bool TakeQualifiedName(ScannedDefinition* d) {
    if (!IsNameStart(At())) return false;
    int32_t n = NameSpan(text, length, pos);
    d->library = nullptr;
    d->libraryLength = 0;
    if (At(n) == ':') {
      if (At(n + 1) != ':' || !IsNameStart(At(n + 2))) return false;
      d->library = text + pos;
      d->libraryLength = n;
      pos += n + 2;
      n = NameSpan(text, length, pos);
    }
    d->name = text + pos;
    d->nameLength = n;
    pos += n;
    return true;
  }
  // Passes a bracketed output list ending with `close` inside the statement.
  bool PassList(char close) {
    for (pos++; SkipInside(); pos++) {
      if (At() == close) {
        pos++;
        return true;
      }
      if (At() == ';') return false;
    }
    return false;
  }
};

// Parses "function" header parts behind the keyword.
bool ParseFunctionHeader(Cursor* c, ScannedDefinition* d) {
  if (!c->SkipInside()) return false;
  if (c->At() == '[' || c->At() == '(') {
    if (!c->PassList(c->At() == '[' ? ']' : ')')) return false;
    if (!c->SkipInside() || !c->TakeAssign() || !c->SkipInside()) return false;
    return c->TakeQualifiedName(d);
  }
  if (!c->TakeQualifiedName(d)) return false;
  int32_t afterName = c->pos, lines = *c->lines;
  if (d->library || !c->SkipInside() || !c->TakeAssign()) {
    c->pos = afterName;
    *c->lines = lines;
    return true;
  }
  return c->SkipInside() && c->TakeQualifiedName(d);
}

}  // namespace

ErrCode ScanSourceForFunctions(EngineContext* ctx, const char* text, int32_t length,
                               SourceScan* scan, ScannedDefinition* out, bool stopAtStatements,
                               bool quiet) {
  Cursor c{text, length, scan->position, &scan->line};
  auto fail = [&](ErrCode code, int32_t line) {
    if (!quiet) {
      SetErrorLocation(ctx, code, line);
      PlaceTextError(ctx, code, text, line, ErrorDetails{});
    }
    scan->position = c.pos;
    return code;
  };
  for (;;) {
    SkipSpaceAndComments(text, length, &c.pos, true, &scan->line);
    if (c.pos >= length) {
      scan->position = c.pos;
      return kErrEof;
    }
    int32_t start = c.pos;
    int32_t line = scan->line;
    bool isFunction = MatchKeywordAt(text, length, &c.pos, "function");
    if (isFunction || MatchKeywordAt(text, length, &c.pos, "define")) {
      ScannedDefinition d;
      if (isFunction ? !ParseFunctionHeader(&c, &d)
                     : !(c.SkipInside() && c.TakeQualifiedName(&d) && !d.library))
        return fail(isFunction ? kErrBadFunHeader : kErrBadDefinition, line);
      d.start = start;
      d.line = line;
      d.isPrivate = scan->privateMode;
      d.isConstant = !isFunction;
      scan->inBody = isFunction;
      scan->closed = !isFunction;
      SkipStatement(text, length, &c.pos, &scan->line, true);
      scan->position = c.pos;
      *out = d;
      return kOk;
    }
    if (MatchKeywordAt(text, length, &c.pos, "include") ||
        MatchKeywordAt(text, length, &c.pos, "includeifexists"))
      return fail(kErrIncludeNotPermitted, line);
    const VisibilityWord* visibility = nullptr;
    for (const VisibilityWord& v : kVisibilityWords)
      if (!visibility && MatchKeywordAt(text, length, &c.pos, v.word)) visibility = &v;
    if (visibility) {
      scan->privateMode = visibility->isPrivate;
      continue;
    }
    if (MatchKeywordAt(text, length, &c.pos, "endfunction")) {
      scan->inBody = false;
      scan->closed = true;
      continue;
    }
    bool isUse = MatchKeywordAt(text, length, &c.pos, "use") ||
                 MatchKeywordAt(text, length, &c.pos, "useifexists");
    if (!isUse && stopAtStatements && scan->closed && !scan->inBody)
      return fail(kErrExpectedFunHeader, line);
    SkipStatement(text, length, &c.pos, &scan->line, !isUse);
  }
}

}  // namespace vke
