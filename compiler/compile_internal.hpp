// What the parts of the compiler share while one function or text is
// compiled: the scratch area, the code writer, the variable table, the
// statement records of pass 1 and the compilation unit that ties them
// together, with the entry points of the expression and statement compilers.
#pragma once

#include <initializer_list>
#include <iterator>

#include "compiler/compile.hpp"
#include "engine/code/names.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// ---- Strings inside statement texts ----
// A quote behind this character is a transpose, not the start of a string.
inline bool EndsOperandChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == ')' || c == ']' || c == '}' || c == '\'';
}
// The position of the quote that closes the string opened at text[p], its
// doubled quotes and backslash escapes passed; n when it is not closed.
int32_t ClosingQuote(const char* text, int32_t n, int32_t p);

// ---- Scratch: a bump area carved off the free end of the data stack ----
class Scratch {
 public:
  Scratch() = default;
  Scratch(uint8_t* base, uint32_t bytes) : base_(base), size_(bytes) {}
  // size bytes aligned to 8; null when there is no room.
  void* Take(uint32_t size) {
    uint32_t at = (used_ + 7) & ~7u;
    if (size > size_ || at > size_ - size) return nullptr;
    used_ = at + size;
    return base_ + at;
  }
  uint32_t Used() const { return used_; }
  uint32_t OffsetOf(const void* p) const {
    return static_cast<uint32_t>(static_cast<const uint8_t*>(p) - base_);
  }
  void Release(uint32_t mark) { used_ = mark; }
  uint32_t Free() const { return size_ - used_; }

 private:
  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  uint32_t used_ = 0;
};

// ---- Code writer: bounds-checked emission into a code buffer ----
class CodeWriter {
 public:
  // A buffer of capacity words. With ctx given, the buffer lies in the code
  // area and may only grow up to the lowest stored name, which moves down
  // while names are interned.
  void Open(int16_t* base, int32_t capacity, EngineContext* codeArea) {
    base_ = base;
    capacity_ = capacity;
    area_ = codeArea;
    pos_ = 0;
  }
  int32_t Pos() const { return pos_; }
  int16_t* At(int32_t pos) { return base_ + pos; }
  int16_t* Base() { return base_; }
  // Drops everything from pos on.
  void Truncate(int32_t pos) { pos_ = pos; }
  // Room for n more words (6, codeOverflow, when there is none).
  ErrCode Reserve(int32_t n) const;
  ErrCode Put(std::initializer_list<int16_t> words);
  ErrCode PutWords(const int16_t* words, int32_t n);
  // nop words until the word behind the opcode lies on an 8-byte address,
  // then the opcode and the double.
  ErrCode PutDouble(int16_t opcode, double value);
  // pushstr8 or pushstr with the characters.
  ErrCode PutText(const uint16_t* chars, int32_t n, bool wide);
  // Sets the W0 of the jump at `jump` so that it lands on `target`.
  void PatchJump(int32_t jump, int32_t target) {
    base_[jump + 1] = static_cast<int16_t>(target - (jump + 2));
  }
  // Offsets that do not fit 16 bits make the code unusable.
  static bool JumpFits(int32_t jump, int32_t target) {
    int32_t d = target - (jump + 2);
    return d >= INT16_MIN && d <= INT16_MAX;
  }

 private:
  int16_t* base_ = nullptr;
  int32_t capacity_ = 0;
  int32_t pos_ = 0;
  EngineContext* area_ = nullptr;
};

// ---- Variable table: 32-byte names, slot = index ----
inline constexpr int32_t kVarNameBytes = 32;
// The code numbers variables by signed 16-bit operands.
inline constexpr int32_t kMaxVariables = INT16_MAX;

class VarTable {
 public:
  // Room for the names in a quarter of the scratch, for kMaxVariables at
  // most: a table full short of that limit is a shortage of room
  // (kErrCompOutOfMemory, the compilation runs again once the area has
  // grown), a table at it kErrVarTableOverflow.
  ErrCode Open(Scratch* scratch);
  int32_t Count() const { return count_; }
  const char* Name(int32_t i) const { return names_ + static_cast<size_t>(i) * kVarNameBytes; }
  // The index of the variable of that name, -1 when none.
  int32_t Find(const char* name, int32_t length) const;
  // Finds or adds; Full() when the table is full, kErrBadVarName for a bad name,
  // kErrNameTooLong for a name of more than 32 characters.
  ErrCode Add(const char* name, int32_t length, int32_t* index);
  // Adds a new variable; kErrReusedVarName when the name exists.
  ErrCode AddNew(const char* name, int32_t length, int32_t* index);
  // Adds a variable of a name that exists already (found after it).
  ErrCode AddShadow(const char* name, int32_t length, int32_t* index);
  // Adds a variable with a stored 32-byte name as it is (a frame's).
  ErrCode AddRaw(const char* name32, int32_t* index);

 private:
  // The code of a table without room for one more name.
  ErrCode Full() const {
    return capacity_ < kMaxVariables ? kErrCompOutOfMemory : kErrVarTableOverflow;
  }

  char* names_ = nullptr;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

// ---- Statement records (pass 1) ----
enum StatementKind : int32_t {
  kStmtQuiet = 0,    // expression or assignment ended by ";"
  kStmtShow = 1,     // expression or assignment whose result is displayed
  kStmtCommand = 2,  // command syntax, already rewritten as a call; shown as kStmtShow
  kStmtIf = 3,
  kStmtElseif = 4,
  kStmtElse = 5,
  kStmtEnd = 6,
  kStmtSwitch = 7,
  kStmtCase = 8,
  kStmtOtherwise = 9,
  kStmtFor = 10,
  kStmtWhile = 11,
  kStmtRepeat = 12,
  kStmtUntil = 13,
  kStmtBreak = 14,
  kStmtContinue = 15,
  kStmtReturn = 16,
  kStmtTry = 18,
  kStmtCatch = 19,
  kStmtGlobal = 20,
  kStmtPersistent = 21,
  // Generated: copy input variable text2[0] into output text1[0] when at
  // least `targets` inputs were given (a name in both argument lists).
  kStmtCopyInput = 30,
  // Command syntax ended by ";": the call not shown.
  kStmtQuietCommand = 31,
};

// One record: a header, then the two texts (each padded to 4 bytes).
struct StatementRecord {
  int32_t kind;
  int32_t line;
  int32_t targets;  // assignment: number of targets (first text = target list)
  int32_t length1;
  int32_t length2;
  const char* Text1() const { return reinterpret_cast<const char*>(this + 1); }
  const char* Text2() const { return Text1() + ((length1 + 3) & ~3); }
  // Records start on 8-byte addresses, one behind the other.
  const StatementRecord* Next() const {
    auto end = reinterpret_cast<uintptr_t>(Text2() + ((length2 + 3) & ~3));
    return reinterpret_cast<const StatementRecord*>((end + 7) & ~uintptr_t{7});
  }
};

// ---- The compilation of one function or text ----
struct CompileUnit {
  EngineContext* ctx = nullptr;
  const CompileRequest* request = nullptr;
  Scratch* scratch = nullptr;
  CodeWriter code;
  VarTable vars;
  FunctionHeader header;
  bool laterFunctions = false;  // unknown names become functions (a function body)
  bool isDefine = false;        // a "define" constant
  int32_t ansVar = -1;          // slot of "ans" when the text keeps it
  int32_t line = 0;             // the line of the statement being compiled
  int32_t codeStart = 0;        // where the code part of the block begins
  bool raised = false;          // the current error's message is pending already
  // With an open end: whether the end of the source cut the last statement
  // short (a bracket, a continuation or a comment still open), the end of
  // that statement's last text (null for none), and whether the statements
  // ran to the end of the source (no endfunction or next definition ended
  // them).
  bool cutShort = false;
  const char* cutEnd = nullptr;
  bool reachedEnd = false;
};

// Records a compile error at the unit's line: the message of the code
// (filled with the details) becomes the pending error, with the location
// of the compiled function and the line. Returns the code. CompileError
// does nothing when the unit's error was recorded already.
struct ErrorDetails;
ErrCode CompileError(CompileUnit& u, ErrCode code);
// A note of the table (engine/errors/error_table.def) follows the message
// after ": " when one is given.
ErrCode CompileErrorWith(CompileUnit& u, ErrCode code, const ErrorDetails& details,
                         const char* note = nullptr);
// The lines before the start of the source file the host named
// (SetSourceFile) when the text lies within it, else 0.
int32_t SourceFileLineOffset(EngineContext* ctx, const char* text);
// Appends " (FILE, line N)" when the text lies within the source file the
// host named (SetSourceFile), N counted from the file's start; false,
// nothing appended, when it does not.
bool AppendSourceFilePlace(EngineContext* ctx, const char* text, int32_t line, char* buffer,
                           int32_t* position, int32_t size);
// Something of the text failed with the code at its line (a scan, a
// definition, a "use" statement): within the named source file, the code's
// message (its template filled with the details) placed there becomes the
// pending error; elsewhere the error stays as raised.
void PlaceTextError(EngineContext* ctx, ErrCode code, const char* text, int32_t line,
                    const ErrorDetails& details);
// A character no token starts with, named; a double quote is told that text
// is written between single quotes.
ErrCode UnrecognizedToken(CompileUnit& u, char c);
// The same with a message of its own in place of the table's.
ErrCode CompileErrorText(CompileUnit& u, ErrCode code, const char* message);

// ---- Expression compiler ----
struct ExprRequest {
  const char* text = nullptr;
  int32_t length = 0;
  int32_t outputs = 1;      // values asked for (>= 1), or 0 for a whole statement
  bool wantsValue = false;  // statement: its value is displayed or kept in "ans"
};
struct ExprResult {
  int32_t count = 0;       // values left: the outputs asked for, 0, 1, or -1 (maybe one)
  int32_t start = 0;       // where the expression's code begins
  bool flattened = false;  // a comma list (c{:}) as the whole expression
};
ErrCode CompileExpression(CompileUnit& u, const ExprRequest& request, ExprResult* result);

// The target list of an assignment compiled as stores of the values on the
// stack (the first target takes the top value). *shown receives the
// variables to display, in order (at most `count` of them).
ErrCode CompileTargetList(CompileUnit& u, const char* text, int32_t length, int32_t targets,
                          int32_t* shown);

// ---- Statement passes ----
// Pass 1: header, variables and statement records (*first, *count).
ErrCode ParseStatements(CompileUnit& u, const char* text, int32_t length,
                        const StatementRecord** first, int32_t* count);
// Pass 2: the code of the records behind the unit's variable table.
ErrCode CompileStatements(CompileUnit& u, const StatementRecord* first, int32_t count);

}  // namespace vke
