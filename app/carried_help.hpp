// The help files the programs carry: every help/NAME.hlp of the repository,
// turned into constant data at build time (scripts/carry_text.cmake), so
// that help and lookfor answer with no file beside the program. They are
// the last place a help file is looked for: the application's "+readlib"
// hook, asked after every other, serves them (app/natives.def).
#pragma once

#include <cstdint>
#include <span>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

// One carried file: its name ("VKE.hlp") and its bytes as written.
struct CarriedText {
  const char* name;
  const char* bytes;
  int32_t length;
};

// The help files of help/, in the order of their names (generated).
std::span<const CarriedText> CarriedHelpFiles();

// Copies the text carried under that file name into the buffer:
// kErrFileNotFound when none is, kErrDataOverflow when it does not fit.
ErrCode ReadCarriedText(std::span<const CarriedText> texts, const char* name, char* buffer,
                        int32_t capacity, int32_t* length);

// A "+readlib" of the carried help files alone (ReadCarriedText of
// CarriedHelpFiles), what the application's hook serves without a block.
ErrCode ReadCarriedHelp(EngineContext* ctx, const char* name, const char* folder, uintptr_t user,
                        char* buffer, int32_t capacity, int32_t* length);

}  // namespace vke
