// The scan of a source text for function definitions ("function" headers and
// "define" constants), as the library loader and the source finder use it.
#pragma once

#include "engine/context.hpp"

namespace vke {

// The words that set the visibility of the definitions after them; each may
// stand before "function" on its line.
struct VisibilityWord {
  const char* word;
  bool isPrivate;
};
inline constexpr VisibilityWord kVisibilityWords[] = {
    {"private", true},  // the definitions after it are private to their library
    {"public", false},  // and after this public again
};

// In/out state of a scan; start with the defaults.
struct SourceScan {
  int32_t position = 0;
  int32_t line = 1;
  bool privateMode = false;  // set by "private", cleared by "public"
  bool inBody = false;       // inside a "function" not closed by "endfunction"
  bool closed = false;       // a definition has ended before the current point
};

// One definition found: its keyword's position and line, its name and its
// "lib::" qualifier (null when none).
struct ScannedDefinition {
  int32_t start = 0;
  int32_t line = 0;
  const char* name = nullptr;
  int32_t nameLength = 0;
  const char* library = nullptr;
  int32_t libraryLength = 0;
  bool isPrivate = false;
  bool isConstant = false;  // "define"
};

// Finds the next definition behind scan->position and leaves the position at
// the end of its header statement: 0, kErrEof at the end of the text,
// kErrIncludeNotPermitted for an "include", kErrBadFunHeader for a bad function header,
// kErrBadDefinition for a "define" without name, and with stopAtStatements kErrExpectedFunHeader
// for a statement after a definition has ended. Unless quiet, an error records its line as the
// error position.
ErrCode ScanSourceForFunctions(EngineContext* ctx, const char* text, int32_t length,
                               SourceScan* scan, ScannedDefinition* out, bool stopAtStatements,
                               bool quiet);

}  // namespace vke
