// The expression compiler's own state, shared by its files: one left-to-right
// pass over an expression text with an operator stack reduced by precedence,
// brackets and argument lists parsed by recursion, and a running count of the
// values the emitted code leaves on the stack (for "end" inside indices).
#pragma once

#include "compiler/compile_internal.hpp"
#include "engine/code/operators.hpp"

namespace vke {

struct NativeFunctionRecord;
struct BuiltinRecord;

// One entry of the operator stack.
struct OperatorEntry {
  int32_t precedence;
  int32_t kind;     // EntryKind
  int32_t operand;  // operator row, or the position of the jump to patch
  int32_t args;     // colon: 2 or 3; "?": position of the jump over the second value (-1 none)
};

enum EntryKind : int32_t {
  kEntryBinary = 0,
  kEntryPrefix = 1,
  kEntryColon = 4,
  kEntryJumps = 5,  // "&&", "||" and "?"
};

// What a callee accepts, for the count checks and the statement count rule.
struct Callee {
  enum Kind { kBuiltin, kNative, kUser, kByName, kIndex } kind = kUser;
  const BuiltinRecord* builtin = nullptr;
  int32_t nativeIndex = -1;  // global record index
  int32_t function = -1;     // function-table index
  int32_t minIn = 0, maxIn = 32767, minOut = 0, maxOut = 32767;
  const char* name = nullptr;  // for messages and calls by name
  int32_t nameLength = 0;
  bool genericName = false;  // a "+genericFun" native: the name is its first argument
};

// The arguments of one group after it was parsed.
struct GroupArgs {
  int32_t count = 0;       // arguments, colons included
  uint32_t colons = 0;     // bit i: argument i is a lone ":"
  bool flattened = false;  // some argument is a whole comma list (c{:})
};

// The innermost index group that "end" and its relatives refer to.
struct IndexContext {
  int32_t baseDepth;  // value count right after the indexed value was pushed
  int32_t position;   // the argument being compiled, from 1
  int32_t count;      // arguments of the group, counted ahead
  IndexContext* outer;
};

// An anonymous function whose body is being compiled.
struct AnonContext {
  const char* params;  // the parameter list text, between the parentheses
  int32_t paramsLength;
  struct Capture {
    const char* name;
    int32_t length;
    int32_t variable;  // slot in the enclosing function; -1 for an outer parameter
  };
  Capture captured[64];  // what the body reads from outside, in order of first use
  int32_t capturedCount = 0;
  AnonContext* outer;
};

// The error for a character that ends an expression where it cannot: the
// closers and separators, else kErrIncompleteExpr.
ErrCode UnexpectedCloser(char c);

class ExprCompiler {
 public:
  ExprCompiler(CompileUnit& u, const char* text, int32_t length);
  ErrCode Compile(const ExprRequest& request, ExprResult* result);
  ErrCode CompileTargets(int32_t targets, int32_t* shown);

  // ---- Shared by the files of the expression compiler ----
  // Parse state of one subexpression.
  struct Level {
    bool bracket = false;     // directly inside "[" or "{": blanks separate elements
    bool mayBeWhole = false;  // its first operand may be the whole expression
    // The body of an anonymous function, whose first operand may be all of
    // it: a call there is checked for its outputs when the function runs.
    bool body = false;
  };
  struct SubResult {
    int32_t operands = 0;
    bool flattened = false;  // one operand, a whole comma list, and nothing else
  };

  CompileUnit& u;
  EngineContext* ctx;
  CodeWriter& code;
  const char* t;
  int32_t n;
  int32_t pos = 0;
  int32_t depth = 0;       // values the code emitted so far leaves on the stack
  int32_t nesting = 0;     // open brackets and groups
  int32_t lastInstr = -1;  // position of the last instruction emitted
  const ExprRequest* request = nullptr;
  int32_t wholeCount = 1;  // the count of the call that is the whole expression
  bool wholeCall = false;
  bool operandFlattened = false;
  // The code position right after a chain that ended in a field read, whose
  // value is a comma list when the structure is an array.
  int32_t fieldEnd = -1;
  OperatorEntry* stack = nullptr;
  int32_t top = 0;
  int32_t capacity = 0;
  IndexContext* index = nullptr;
  AnonContext* anon = nullptr;

  // Text.
  char At(int32_t offset = 0) const { return pos + offset < n ? t[pos + offset] : '\0'; }
  bool AtEnd() const { return pos >= n; }
  // The error of an expression that lacks its rest at pos: kErrEof at the
  // end of a statement that the end of an open-ended source cut short,
  // since more text may bring the rest.
  ErrCode Lacking(ErrCode code) const {
    return AtEnd() && u.cutEnd && t + n == u.cutEnd ? kErrEof : code;
  }
  // Skips blanks; true when any was skipped.
  bool SkipBlanks();
  // True when only blanks remain.
  bool RestIsBlank() const;
  // True when only blanks stand before the end of the subexpression.
  bool SubexprEndsHere() const;

  // Emission: an instruction and how it changes the number of values.
  ErrCode Emit(std::initializer_list<int16_t> words, int32_t delta);
  ErrCode EmitText(const uint16_t* chars, int32_t count);
  ErrCode EmitName(const char* name, int32_t length);

  // Subexpressions and operands (expr_core.cpp).
  ErrCode ParseSubexpr(const Level& level, SubResult* result);
  ErrCode ParseOperand(const Level& level, bool* flattened);
  ErrCode ParseMatrix(char close);
  ErrCode ParseNumber();
  ErrCode ParseString();
  ErrCode Reduce(int32_t base, int32_t limit);
  ErrCode PushEntry(const OperatorEntry& e);
  // True when the text at the position begins a new element of a bracket
  // row after blanks (not a binary operator).
  bool StartsElement() const;

  // Names, calls and operators (expr_names.cpp).
  ErrCode ParseName(const Level& level, bool* flattened);
  ErrCode EmitOperatorCall(const OperatorRecord& row, int32_t args);
  ErrCode ParseCall(Callee& callee, const Level& level);
  ErrCode EmitCall(const Callee& callee, const GroupArgs& args, int32_t outputs);
  // The output count a call gets: asked outputs when it is the whole
  // expression, the statement rule for 0, else 1; kErrIncorrectNargout when it cannot.
  ErrCode CallOutputs(const Callee& callee, bool whole, int32_t* outputs);

  // Index groups and chains (expr_index.cpp).
  ErrCode ParseArgs(char close, bool indexGroup, int32_t baseDepth, GroupArgs* args);
  ErrCode ParseChain(int32_t variable, const Level& level, bool* flattened);
  ErrCode ParsePostfix(const Level& level, bool* flattened);
  // The (...), {...} and .field steps behind the value on top; `reference`
  // while that value is a reference into a variable (resolved at the end).
  ErrCode ChainSteps(bool reference, const Level& level, bool* flattened);
  // A field step (".name" or ".(expr)") at pos, after an index group or
  // directly on the value; *found false when none stands there.
  ErrCode FieldStep(const GroupArgs* group, bool* found);
  ErrCode ParseIndexKeyword(const char* name, int32_t length, bool* handled);
  ErrCode ParseTarget(int32_t* shownVariable);
  // Counts the arguments before the bracket that closes the group at pos;
  // sets *several when one of them is a lone ":" or a range at its own
  // level, so that a brace group selects a comma list.
  int32_t CountAhead(char close, bool* several) const;

  // Function references and anonymous functions (expr_anon.cpp).
  ErrCode ParseAt(const Level& level);
  // A variable read inside an anonymous function's body: records the
  // capture; true when the name is a parameter of an open anonymous function.
  bool NoteAnonymousUse(const char* name, int32_t length, int32_t variable);
};

}  // namespace vke
