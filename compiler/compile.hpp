// The compiler's entry points: compiling one function or text into a block,
// compiling function-table entries on demand, scanning sources for their
// definitions and "use" statements, loading libraries, evaluating texts
// (command lines, eval texts, texts run in a function's scope) and finding
// and calling functions by name.
//
// Compiled code of texts runs in a frame without variables of its own (it
// shares those of the innermost frame that has variables) and lies on the
// data stack as the frame's first value entry.
#pragma once

#include <string>

#include "engine/context.hpp"
#include "engine/frames/function_block.hpp"

namespace vke {

class Scratch;

// What to compile.
struct CompileRequest {
  const char* text = nullptr;
  int32_t length = 0;
  int32_t firstLine = 1;
  int32_t function = -1;  // function-table index of the function compiled
  int32_t scope = 0;      // library entry in which names are resolved
  bool isText = false;    // a script, command line or eval text (no header)
  bool keepAns = false;   // text: "ans" is a variable that takes expression values
  bool removeNames = false;
  // Text: the variables of the frame it runs in (32 bytes each).
  const char* frameNames = nullptr;
  int32_t frameVars = 0;
  // Function: variables its body is known to have (32 bytes each), taken
  // behind those of its header.
  const char* bodyNames = nullptr;
  int32_t bodyVars = 0;
  // Value entries of the frame below the code's own (the code value of a text).
  int32_t baseEntries = 0;
  // Text: >= 1 makes its expression statements leave their values (eval
  // with outputs); 0 displays them or keeps them in "ans".
  int32_t results = 0;
  // Text: a name it does not know is a function defined later, as in a
  // function body, instead of an error.
  bool laterFunctions = false;
  // The text may go on (a command line typed in part): where it runs out
  // before a statement, a bracket, a block or the definition it is in ends,
  // the compilation fails with kErrEof, which more text may mend.
  bool openEnd = false;
  // A name that is neither a variable nor a function yet is a variable, as
  // an assignment further on may make it.
  bool unknownAsVariables = false;
};

// A compiled block: functions get header, variable table and code; texts
// only code, and the variables they use (the frame's first).
struct CompiledBlock {
  int32_t words = 0;
  FunctionHeader header;
  int32_t vars = 0;
  const char* varNames = nullptr;  // 32 bytes each, valid while the scratch lives
};

// Compiles into buffer (capacity words; inCodeArea when it lies at the code
// area's fill position). scratch lends the passes their working memory.
// Errors are compile errors with the line recorded (pending error).
ErrCode CompileFunction(EngineContext* ctx, const CompileRequest& request, int16_t* buffer,
                        int32_t capacity, bool inCodeArea, Scratch* scratch, CompiledBlock* out);

// ---- Function-table entries ----

// Compiles entry `index` from the source (fetched with FindFunctionSource
// when source is null) at the code area's fill position. kErrFunAlreadyDefined when it has
// code, kErrUndefFunOrVar when no source is found.
ErrCode CompileFunctionEntry(EngineContext* ctx, int32_t index, const char* source, int32_t length,
                             int32_t firstLine);
// Compiles every entry whose code is -1 (and 0 with includeKnown); kErrFunNotFound when
// the source of any was missing (those are skipped).
ErrCode CompilePendingFunctions(EngineContext* ctx, bool includeKnown);
// The same, reporting (kErrFunNotFound) only the missing entries from index reportFrom
// on; the others are skipped quietly.
ErrCode CompilePending(EngineContext* ctx, bool includeKnown, uint32_t reportFrom);
// Defines and compiles every function of a source text; the functions get
// `library` (a library entry, 0 none) as their source library.
ErrCode DefineSourceFunctions(EngineContext* ctx, const char* text, int32_t length,
                              int32_t library);
// Defines the function of a text that holds one definition and compiles it.
ErrCode CompileSourceText(EngineContext* ctx, const char* text, int32_t length, int32_t library,
                          int32_t* index);

// ---- Libraries ----

// Processes the "use" and "useifexists" statements of a text for a library
// entry; with reload, a used library other than "_cli" loses its compiled
// functions so that its source is read again.
ErrCode ProcessUseStatements(EngineContext* ctx, int32_t entry, const char* text, int32_t length,
                             const char* folder, int32_t folderLength, bool reload);
// Loads the definitions of a library text and of every library it uses,
// directly or not, that is not loaded yet. A library that cannot be loaded
// is passed over; the last such failure is the result, and its library
// entry is given in *failed when asked.
ErrCode LoadLibraryDefinitions(EngineContext* ctx, int32_t entry, const char* text, int32_t length,
                               const char* folder, int32_t folderLength, int32_t* failed = nullptr);
// Library entry `library` failed to load with the code: when it is not
// there (kErrLibNotFound) and a "use" statement of the text names it, the
// error is placed at that statement's line as a compile error of the text
// is (PlaceTextError).
void PlaceUseFailure(EngineContext* ctx, ErrCode code, int32_t library, const char* text,
                     int32_t length);

// ---- Texts ----

enum EvaluateFlags : uint32_t {
  kEvalKeepAns = 1,          // "ans" is kept as the frame's variable and shown
  kEvalReturnVariables = 2,  // the text returns its variables as a structure
  kEvalCompileFunctions = 4  // compile the functions it leaves pending
};

// Compiles a text as code of the current frame's scope and sets up its run:
// a frame of its own (scope `scope`, `results` values asked for) whose first
// entry is the code, and the code pointer at its start. The caller runs the
// loop.
ErrCode EvaluateSourceText(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                           int32_t results, uint32_t flags);
// EvaluateSourceText for a builtin or native whose top `inputs` entries
// (its text among them) stay as given until the text has compiled and the
// room of its run is found, so that a failure for room leaves them for the
// call to run again once the area has grown; they then give way to the
// text's frame, a statement's call (nargout < 0) leaving the no-value
// marker in their place.
ErrCode EvaluateInPlaceOfInputs(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                                int32_t inputs, int32_t nargout, uint32_t flags);
// A command line: its "use" statements stay in force for the later lines,
// its functions are defined, and the rest runs in the base workspace with
// "ans" and displayed results. Errors are printed; the code is returned.
ErrCode CompileCommandLine(EngineContext* ctx, const char* text, int32_t length);
// Names the file that the text (which stays where it is while the engine
// compiles from it) was read from: a compile error in code compiled from
// within it is placed as "(NAME, line N)", N the line of the file, where
// the text starts at the file's line `firstLine`. With `placeRuns`, so are
// the errors of its code when it runs (that of the command and of the
// functions it defines, library "_cli"). A null name names none.
void SetSourceFile(EngineContext* ctx, const char* name, const char* text, int32_t length,
                   int32_t firstLine = 1, bool placeRuns = false);
// The error that a command line cut short at a line end makes before its
// end, where no line typed after it can mend it. 0 when it compiles, or when
// all it lacks is its end (an expression, a bracket, a block or a
// continuation still open): names it does not know are taken for functions
// that the lines to come may define. A memory code when the look ran short
// of room (the area may grow and the look run again). It is compiled as
// CompileCommandLine would compile it; nothing of that is kept and no error
// is left pending.
// With names given, they become the variables the text has (32 bytes each:
// the frame's, then the text's), once the look has read them.
ErrCode CommandLineFault(EngineContext* ctx, const char* text, int32_t length,
                         std::string* names = nullptr);
// The same look at the lines that a command adds, compiled without the
// lines before them or behind a shorter text that stands for them (the
// statements that opened the blocks and the definition still open): the
// names of the look before it are the variables the text knows, which then
// take in its own. With definitionNames, those are the variables the body
// of the first definition the text holds is known to have, and the
// variables of the last one it holds are put there.
ErrCode CommandLineStatementsFault(EngineContext* ctx, const char* text, int32_t length,
                                   std::string* names, std::string* definitionNames = nullptr);

// ---- Finding and calling functions by name ----

// The function-table index of a function callable by that name from the
// scope (method libraries of object arguments first, when args > 0), or -1.
// The function is compiled when it has no code yet.
int32_t FindFunctionByName(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                           int32_t args, ErrCode* error);

// The library entry "_cli" of command lines.
ErrCode CommandLineLibrary(EngineContext* ctx, int32_t* entry);

}  // namespace vke
