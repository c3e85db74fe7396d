// The builtins of the error system: error, warning, lasterr, lasterror and
// rethrow.
#include <cstring>

#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/text/printf.hpp"
#include "engine/text/text.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxIdentifierArgChars = 66;
// The message of an error raised by its identifier alone when no table
// gives that identifier's code a message of its own.
constexpr char kUnspecifiedMessage[] = "unspecified error";

bool IsAsciiLetter(uint16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A char row of at most 66 letters, digits, "_" and ":" holding a ":".
bool IsIdentifierArg(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar || v.shape.ndims != 2 || v.shape.dims[0] != 1 ||
      v.shape.count > kMaxIdentifierArgChars)
    return false;
  bool colon = false;
  for (int32_t i = 0; i < v.shape.count; i++) {
    uint16_t c = Load<uint16_t>(v.elements + 2 * i);
    colon |= c == ':';
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '_' && c != ':') return false;
  }
  return colon;
}

// The code of the identifier at the depth (a char array; empty gives 0).
// Read into a buffer of its own, the argument left as given: a new
// identifier's name may find no room in the code area, and the call runs
// again once the area has grown.
ErrCode IdentifierArgCode(EngineContext* ctx, int32_t depth, ErrCode* code) {
  const NumericView v = ViewNumeric(ctx, depth);
  if (v.cls != ValueClass::kChar) return kErrBadArg;
  *code = 0;
  const int32_t length = v.shape.count;
  // Longer than any identifier: no table holds it and no name can take it.
  if (length > kMaxErrorIdentifierLength) return kErrNameTooLong;
  char id[kMaxErrorIdentifierLength];
  for (int32_t i = 0; i < length; i++) id[i] = static_cast<char>(v.elements[2 * i]);
  return length > 0 ? ErrorCodeOfIdentifier(ctx, id, length, code) : kOk;
}

// Pushes the 8-bit text of the char array at the depth, encoded with the
// context's codec, and gives its bytes (valid until the next push or drop).
ErrCode PushEncodedCopy(EngineContext* ctx, int32_t depth, char** text, int32_t* length) {
  if (ViewNumeric(ctx, depth).cls != ValueClass::kChar) return kErrBadArg;
  ErrCode e = GetStringArgCopy(ctx, depth);
  if (e) return e;
  NumericView v = ViewNumeric(ctx, 0);
  *text = reinterpret_cast<char*>(v.elements);
  *length = v.shape.count;
  return kOk;
}

// An error's text becomes the pending error, with its location unless it
// carries one already, and the code is returned; a warning's text goes to
// descriptor 2. Empty texts do nothing.
ErrCode IssueText(EngineContext* ctx, ErrCode code, const char* text, int32_t length,
                  bool isWarning, bool located = false) {
  if (length <= 0) return kOk;
  if (isWarning) {
    ErrCode e = WriteToFd(ctx, kFdErr, text, length);
    return e ? e : WriteNewlineToFd(ctx, kFdErr);
  }
  ErrCode e = FormatErrorMessage(ctx, code, text, length, !located);
  return e ? e : code;
}

// An error raised by its identifier alone: a code with a message of its
// own in the tables keeps it; the user code and identifiers no table knows
// get the unspecified message, never the text of an earlier error.
ErrCode RaiseIdentifierAlone(EngineContext* ctx, ErrCode code) {
  if (code > 0 && code != kErrUser && FindErrorMessage(ctx, code, false)) return code;
  return IssueText(ctx, code, kUnspecifiedMessage, sizeof kUnspecifiedMessage - 1, false);
}

// Pushes the text of the error as a char row, read through scratch that the
// pushed row cannot reach: the last error's own message when it was raised
// with this code (the details and the text given to "error" are kept), else
// the text GetErrorText makes.
ErrCode PushErrorText(EngineContext* ctx, ErrCode code) {
  uint32_t freeBytes;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  const uint32_t units = freeBytes > 32 ? (freeBytes - 32) / 24 : 0;
  char* scratch;
  ErrCode e = ReserveDataStack(ctx, units, reinterpret_cast<void**>(&scratch));
  if (e) return e;
  const auto size = static_cast<int32_t>(8 * units);
  ErrCode stored;
  const char* text;
  int32_t length;
  if (code != 0 && ReadErrorBlock(ctx, ctx->lastError, &stored, &text, &length) && stored == code &&
      length < size) {
    std::memcpy(scratch, text, static_cast<size_t>(length));
  } else {
    GetErrorText(ctx, code, false, scratch, size, &length);
  }
  return PushEncodedString(ctx, length, scratch);
}

// *same: whether the char array at the depth is the message that lasterror
// gives now, the text of an error raised before, its location included. A
// failure for room leaves the stack as it was.
ErrCode IsLastErrorMessage(EngineContext* ctx, int32_t depth, bool* same) {
  if (ErrCode e = PushErrorText(ctx, ctx->errLocCode)) return e;
  const NumericView given = ViewNumeric(ctx, depth + 1), last = ViewNumeric(ctx, 0);
  *same = given.cls == ValueClass::kChar && given.shape.count == last.shape.count &&
          std::memcmp(given.elements, last.elements, 2ull * last.shape.count) == 0;
  Drop(ctx);
  return kOk;
}

}  // namespace

ErrCode IssueErrorOrWarning(EngineContext* ctx, int32_t nargin, bool isWarning) {
  if (nargin < 1) return kErrTooFewArgin;
  ErrCode code = isWarning ? kOk : kErrUser;
  // The template and its values lie above the identifier when one leads,
  // which stays until the text stands: a text without room has the call run
  // again on its arguments as given once the area has grown.
  int32_t formatted = nargin;
  if (IsIdentifierArg(ctx, nargin - 1)) {
    // Warnings carry no code: a nonzero one would stop the run as an error.
    if (!isWarning) {
      ErrCode e = IdentifierArgCode(ctx, nargin - 1, &code);
      if (e) return e;
    }
    if (--formatted == 0) {
      Drop(ctx);
      return isWarning ? code : RaiseIdentifierAlone(ctx, code);
    }
  }
  const char* text;
  int32_t length;
  ErrCode e = FormatWithTemplate(ctx, formatted, false, &text, &length);
  if (e) return e;
  e = IssueText(ctx, code, text, length, isWarning);
  Drop(ctx, nargin + 1);
  return e;
}

ErrCode LastErrorBuiltin(EngineContext* ctx, int32_t nargout, bool asStruct) {
  const ErrCode recorded = ctx->errLocCode;
  // A failure takes back what was pushed: without room the call runs again.
  const uint32_t level = ctx->descTop;
  ErrCode e = kOk;
  if (!asStruct) {
    if (nargout >= 2) e = GetErrorIdentifier(ctx, recorded);
    if (!e) e = PushErrorText(ctx, recorded);
  } else {
    ErrCode idCode = recorded;
    ReadErrorBlock(ctx, ctx->lastError, &idCode, nullptr, nullptr);
    e = PushErrorText(ctx, recorded);
    if (!e) e = PushListFromEntries(ctx, 1, false, "message", -1);
    if (!e) e = GetErrorIdentifier(ctx, idCode);
    if (!e) e = PushListFromEntries(ctx, 1, true, "identifier", -1);
  }
  if (e) DropAboveLevel(ctx, level);
  return e;
}

ErrCode RethrowBuiltin(EngineContext* ctx, int32_t nargin) {
  if (nargin != 1) return nargin < 1 ? kErrTooFewArgin : kErrTooManyArgin;
  if (!IsStructValue(ctx, 0)) return kErrWrongType;
  // Copies of the fields present go on top: the message, the identifier above.
  ErrCode e = GetStructField(ctx, 0, "message", -1);
  if (e && e != kErrUndefField) return e;
  const int32_t hasMessage = e == kOk;
  e = GetStructField(ctx, hasMessage, "identifier", -1);
  if (e && e != kErrUndefField) {
    Drop(ctx, hasMessage);
    return e;
  }
  const int32_t hasId = e == kOk;
  if (!hasMessage && !hasId) return kErrUndefField;
  // Until the error stands, a failure (a new identifier without room in the
  // code area, a copy of the message without room) takes the copies back
  // and leaves the operand: the call runs again once the area has grown and
  // raises the same error.
  auto unfinished = [&](ErrCode failure) {
    Drop(ctx, hasMessage + hasId);
    return failure;
  };
  // An empty identifier counts as none; the message is not a template.
  ErrCode code = 0;
  if (hasId)
    if (ErrCode failure = IdentifierArgCode(ctx, 0, &code)) return unfinished(failure);
  ErrCode raised = kOk;
  if (hasMessage) {
    // The last error rethrown keeps the location its message names.
    bool located = false;
    if (ErrCode failure = IsLastErrorMessage(ctx, hasId, &located)) return unfinished(failure);
    char* text;
    int32_t length;
    if (ErrCode failure = PushEncodedCopy(ctx, hasId, &text, &length)) return unfinished(failure);
    const ErrCode wanted = code ? code : kErrUser;
    raised = IssueText(ctx, wanted, text, length, false, located);
    Drop(ctx);
    if (raised && raised != wanted) return unfinished(raised);
  } else if (code) {
    raised = RaiseIdentifierAlone(ctx, code);
    if (raised != code) return unfinished(raised);
  }
  Drop(ctx, hasMessage + hasId + 1);
  return raised;
}

}  // namespace vke
