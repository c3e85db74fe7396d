// Raising errors: the message tables published through "+errmsgtable" hook
// records, the message texts built from their templates, the pending and the
// last error, printing, and the error builtins.
//
// Error state: ctx->pendingError and ctx->lastError are block-heap indices of
// message blocks, -1 for none. "A pending error exists" means
// ctx->pendingError != -1, and likewise for the last error. A message block
// holds the code as a double in its first unit and the NUL-terminated text
// behind it. Error texts are always cut to the buffers they are written to.
#pragma once

#include "engine/errors/errors.hpp"

namespace vke {

// The one-record table published behind the engine's own table (kKvPlotOverflow,
// "plotOverflow"); it shadows the application's record of that code.
extern const ErrorTableRecord kPlotErrorTable[];

// Identifiers no table knows are interned with at most this many characters.
inline constexpr int32_t kMaxErrorIdentifierLength = 127;

// ---- Tables ----

// The first record of the code, walking the "+errmsgtable" hook records in
// registry order and each table in record order; with wantTemplate the first
// later record of the same code in that table when there is one. Null when
// no table has the code.
const ErrorTableRecord* FindErrorMessage(EngineContext* ctx, ErrCode code, bool wantTemplate);

// The code of "VKE:" followed by a table identifier (length -1 =
// NUL-terminated); 0 for every other text.
ErrCode FindErrorIdInTables(EngineContext* ctx, const char* id, int32_t length);

// The code an identifier stands for: its table code, else the id of the
// interned identifier (negative). Fails with the name table's code.
ErrCode ErrorCodeOfIdentifier(EngineContext* ctx, const char* id, int32_t length, ErrCode* code);

// Pushes the identifier of the code as a char row: empty for 0 and for codes
// no table has, the interned name for a negative code, else "VKE:" and the
// table identifier.
ErrCode GetErrorIdentifier(EngineContext* ctx, ErrCode code);

// ---- Message texts ----

// What a template's placeholders are replaced with; names come out in single
// quotes, and a placeholder without its value is left out.
struct ErrorDetails {
  const char* variable = nullptr;  // %v: a variable name (at most 32 characters)
  int32_t fieldId = 0;             // %f: a name id of the name table; 0 = none
  int32_t integer = -1;            // %i, %c; the length of the %S text; negative = none
  const char* name = nullptr;      // %S (integer characters), %s (to its NUL), %n
};

// Expands a template into buffer (NUL-terminated, never at or beyond size) and
// returns the text's length. %i without its integer takes a "(" before it and
// a ")" after it along; a dropped placeholder takes one following blank with
// it, or the blank before it when it ends the template.
int32_t ExpandErrorTemplate(EngineContext* ctx, const char* tmpl, const ErrorDetails& details,
                            char* buffer, int32_t size);

// Appends the table's plain message of the code, or "Error " and the code
// when no table has it (nothing for code 0). False when nothing was appended.
bool AppendPlainErrorText(EngineContext* ctx, ErrCode code, char* buffer, int32_t* position,
                          int32_t size);

// Appends " (" location ")", with ";" and the position behind a location when
// the position is above 1 (the position alone without one).
void AppendLocationSuffix(const char* location, int32_t errPosition, char* buffer,
                          int32_t* position, int32_t size);

// Appends " (NAME, line N)": the place of a line of a file the host named.
void AppendSourcePlace(const char* name, int32_t line, char* buffer, int32_t* position,
                       int32_t size);
// Appends the place of the line of function n (-1: a command's own code)
// as AppendSourcePlace does when its code came from the file the host
// named and asked for its runs to be placed (a command or a function it
// defined, of library "_cli"): the line
// counts as that file's; false, nothing appended, when it did not.
bool AppendCodePlace(EngineContext* ctx, int32_t function, int32_t line, char* buffer,
                     int32_t* position, int32_t size);

// ---- Raising and reading ----

// Builds the message of the code from its template and makes it the pending
// error, with its location. Returns the code, or 5 when the message block
// cannot be allocated (no error is pending then). Code 0 does nothing.
ErrCode RaiseErrorWithDetails(EngineContext* ctx, ErrCode code, const ErrorDetails& details);

// The same with the details the execution loop has: a variable index of the
// innermost frame (or -1), a field-name id (or 0), an integer (or -1) and a
// name text.
ErrCode RaiseError(EngineContext* ctx, ErrCode code, int32_t variable, int32_t fieldId,
                   int32_t integer, const char* name);

// Makes a text the pending error of the code, freeing the previous pending
// error: length -1 = NUL-terminated; no text takes the plain message. Records
// the error location; withLocation appends " (location;position)" when the
// position is above 1. Code 0 without text does nothing. Returns 0 and the
// stored length, or kErrVarOverflow when the block heap has no room, leaving
// no error pending. The text must not lie in a message block.
ErrCode FormatErrorMessage(EngineContext* ctx, ErrCode code, const char* text, int32_t length,
                           bool withLocation, int32_t* storedLength = nullptr);

// Frees the last error, makes the pending error the last error and clears the
// pending error.
void ClearPendingError(EngineContext* ctx);

// The code and text of a message block; false for -1.
bool ReadErrorBlock(EngineContext* ctx, int32_t block, ErrCode* code, const char** text,
                    int32_t* length);

// The text of an error, NUL-terminated and cut at size - 1; returns its
// length. With fromPending and a pending error (code != 0) the pending error
// becomes the last error and its text is given. For kErrUser, negative codes
// and codes no table has, the last error's text when there is one. Otherwise
// the plain message, followed (when 71 bytes remain) by the recorded location
// and the recorded error name in single quotes.
int32_t GetErrorText(EngineContext* ctx, ErrCode code, bool fromPending, char* buffer, int32_t size,
                     int32_t* length);

// Writes the text of the error (the pending one first) to descriptor 2 and
// ends the line; keep makes the text the last error. Returns the descriptor
// layer's code.
ErrCode PrintError(EngineContext* ctx, ErrCode code, bool keep);

// Raises an error given by identifier (no identifier: kErrUser) and message
// (lengths -1 = NUL-terminated); a non-empty message becomes the pending
// error with its location. Returns the code.
ErrCode RaiseErrorById(EngineContext* ctx, const char* id, int32_t idLength, const char* message,
                       int32_t messageLength);

// ---- Builtins (inputs are the top nargin entries, the first deepest) ----

// "error" and "warning": an optional identifier, then the message template.
// An error becomes the pending error and its code is returned; a warning is
// written to descriptor 2 and gives 0.
ErrCode IssueErrorOrWarning(EngineContext* ctx, int32_t nargin, bool isWarning);

// "lasterr" (the text; with two outputs the identifier below it) and
// "lasterror" (a structure of "message" and "identifier").
ErrCode LastErrorBuiltin(EngineContext* ctx, int32_t nargout, bool asStruct);

// "rethrow": raises the error of a structure with the fields "message" and
// (optionally) "identifier"; the message is taken as it is.
ErrCode RethrowBuiltin(EngineContext* ctx, int32_t nargin);

}  // namespace vke
