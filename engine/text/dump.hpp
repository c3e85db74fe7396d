// Values written as source text that recreates them when evaluated: the
// dumper behind dumpvar, the variables builtin, the debugger's listing of a
// frame's variables and the application's stored variables.
//
// Text goes to a file descriptor, a line at a time, or (descriptor -1) into
// a caller's buffer of 16-bit characters at a position the dumper advances.
// Evaluating the text gives a value of the same class, size and bits: each
// double is written with the precision's significant digits when they read
// back as the same double and with 17 otherwise (singles with 7, else 9).
#pragma once

#include "engine/values/value_read.hpp"

namespace vke {

// The precision of dumpvar, variables and the variable listings.
inline constexpr int32_t kDumpPrecision = 15;

// Hooks that write values of a library's own kind ("+wdump": 16-bit
// characters, "+dump": 8-bit ones) into room characters of out, reporting
// the characters written.
using WideDumpHookFn = ErrCode (*)(EngineContext* ctx, uint16_t* out, int32_t room,
                                   int32_t* written);
using ByteDumpHookFn = ErrCode (*)(EngineContext* ctx, char* out, int32_t room, int32_t* written);

// Writes the value on top of the stack (it stays there): with a name, as the
// statement name = value; and a line end; without, the bare value. fd >= 0
// writes to the descriptor (buffer, when given, collects the line); fd -1
// writes into buffer[*position ...], capacity characters in all. A
// nameLength below 0 means the name ends at its NUL. Codes: 3 when the
// buffer has fewer than 50 characters or the text does not fit, kStatusHalted for a
// user break during descriptor output, kErrObjTooLarge for values nested more than 256
// deep, and the codes of the descriptor layer and of the hooks.
ErrCode DumpValue(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                  int32_t fd, const char* name, int32_t nameLength, int32_t precision);

// DumpValue of the value on top into the buffer (descriptor -1), but each
// number with the precision's significant digits even where they do not
// read back as the same number (singles with at most 7): the text of values
// shown to be edited, which evaluates to a value of the same class and size.
ErrCode DumpValueRounded(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                         int32_t precision);

// One two-dimensional block of numbers, truth values or characters.
struct NumericBlock {
  const void* re = nullptr;  // elements, row by row
  const void* im = nullptr;  // imaginary block of complex double or single data, else null
  int32_t rows = 0;
  int32_t cols = 0;
  ValueClass cls = ValueClass::kDouble;  // double, single, integer, char or logical
  int32_t integerBytes = 0;              // integers: 1, 2, 4 or 8
  bool isUnsigned = false;               // integers
};

// Writes one block as DumpValue writes such a value.
ErrCode DumpNumericArray(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                         int32_t fd, const char* name, int32_t nameLength,
                         const NumericBlock& block, int32_t precision);

// Writes every variable of the innermost frame that has variables as a dump
// statement (at precision 15); with declarations set, a variable that stands
// for a global or persistent one is first declared on a line of its own. fd
// -1 pushes a structure of the variables instead. 3 (1 for a full
// descriptor stack) stops the listing when a copy does not fit.
ErrCode ListVariables(EngineContext* ctx, int32_t fd, bool declarations);
// ListVariables with the descriptor's output buffering switched on meanwhile;
// kErrBadFileID for a negative descriptor.
ErrCode ListVariablesForDebugger(EngineContext* ctx, int32_t fd, bool declarations);

}  // namespace vke
