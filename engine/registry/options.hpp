// Option records and option structures: the record layout of the option
// tables, the routine that builds and updates an option structure from name/
// value pairs (the body of every option-setting native), and the readers that
// take single options out of a structure with their defaults.
#pragma once

#include <cstddef>

#include "engine/context.hpp"

namespace vke {

// What an option holds, and so how its default is given.
enum OptionType : uint32_t {
  kOptionNumber = 0,      // real scalar: values[0]
  kOptionRow2 = 1,        // real row of 2 values
  kOptionRow3 = 2,        // real row of 3 values
  kOptionRow4 = 3,        // real row of 4 values
  kOptionLogical = 4,     // logical scalar: values[0] nonzero = true
  kOptionEmpty = 5,       // empty array, no default
  kOptionEmptyList = 6,   // empty list
  kOptionText0 = 7,       // char row of type - 7 characters, one per value,
  kOptionText4 = 11,      // up to 4
  kOptionTextPtr = 12,    // char row from a NUL-terminated text (null = empty)
  kOptionEndOfTable = 13  // ends every table
};

// One row of an option table (constant data; extensions hand their own tables
// to the engine, so the layout is fixed).
struct OptionRecord {
  char name[16];    // at most 15 characters, NUL-padded; compared case-sensitively
  uint32_t type;    // OptionType
  uint32_t hidden;  // nonzero: accepted when set, left out of a new structure
  union {
    double values[4];
    const char* text;
  } def;
};
static_assert(sizeof(OptionRecord) == 56);
static_assert(offsetof(OptionRecord, type) == 16 && offsetof(OptionRecord, hidden) == 20 &&
              offsetof(OptionRecord, def) == 24);

// Index of the record whose name equals the length bytes at name, -1 when
// none.
int32_t FindOptionRecord(const OptionRecord* table, const char* name, int32_t length);

// The body of an option-setting native: with an odd nargin the first argument
// is an option structure to update (kErrWrongType when it is not a structure), else a new
// structure of the defaults of the records that are not hidden is built, in
// table order. The rest are name/value pairs; each name must be a char array
// (kErrWrongType) equal to a record's name (kErrUnknownOpt), all checked before anything changes;
// its field is replaced in place or appended. The structure replaces the
// arguments; on failure the arguments stay.
ErrCode SetOptions(EngineContext* ctx, int32_t nargin, const OptionRecord* table);

// Pushes the named option of the option structure at the depth; the record's
// default when the argument is the empty array, the structure lacks the field
// or the field is a plain empty double. kErrUndefField when the table has no such record.
ErrCode GetOptionsArg(EngineContext* ctx, int32_t depth, const char* name,
                      const OptionRecord* table);

// Pops the top value (always, also on failure) and gives it as a double: the
// value when it has one element, def when it is empty, kErrBadSize for other sizes.
ErrCode PopScalarOptionValue(EngineContext* ctx, double def, double* out);

// GetOptionsArg then PopScalarOptionValue; numbers and logicals fall back to
// their record's default instead of def.
ErrCode GetOptionField(EngineContext* ctx, int32_t depth, const char* name,
                       const OptionRecord* table, double def, double* out);

// GetOptionField with def as 0 or 1; out is 1 when the value is nonzero.
ErrCode GetBooleanOption(EngineContext* ctx, int32_t depth, const char* name,
                         const OptionRecord* table, uint8_t def, uint8_t* out);

}  // namespace vke
