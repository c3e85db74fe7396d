// Option records: the tables of named options of optimset, odeset and the
// other option-taking natives, and the routines that set and read them.
#pragma once

#include "engine/context.hpp"

namespace vke {

struct OptionRecord {
  char name[16];
  uint32_t type;
  uint32_t hidden;
  union {
    double values[4];
    const char* text;
  } def;
};
static_assert(sizeof(OptionRecord) == 56);

ErrCode SetOptions(EngineContext* ctx, int32_t nargin, const OptionRecord* table);
ErrCode GetOptionsArg(EngineContext* ctx, int32_t depth, const char* name,
                      const OptionRecord* table);
ErrCode PopScalarOptionValue(EngineContext* ctx, double def, double* out);
ErrCode GetOptionField(EngineContext* ctx, int32_t depth, const char* name,
                       const OptionRecord* table, double def, double* out);
ErrCode GetBooleanOption(EngineContext* ctx, int32_t depth, const char* name,
                         const OptionRecord* table, uint8_t def, uint8_t* out);

}  // namespace vke
