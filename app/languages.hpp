// The language sections of an instance (kElemLanguageSection): a text "code;name"
// (without ";" both are the whole text) heading the elements of one
// language. The instance's current language is the offset of its section
// from the instance start, kNoLanguage when none is current; the elements of
// other sections are skipped by every lookup.
#pragma once

#include <string_view>

#include "app/block.hpp"

namespace vke {

// The code and name of the section at the offset; empty texts for an offset
// below 0. kKvUndefElement when no section starts there, kKvNonexistentInstance.
ErrCode GetLanguageInfo(KVContextBlock* block, int32_t id, int32_t offset, std::string_view* code,
                        std::string_view* name);

// Steps from the section at *offset (-1: the instance start) to the next
// section whose code differs from those of every section before it; its
// offset, code and name. kKvUndefElement when there is none, kKvNonexistentInstance.
ErrCode GetLanguageName(KVContextBlock* block, int32_t id, int32_t* offset, std::string_view* code,
                        std::string_view* name);

// The current language's offset (kNoLanguage none), code and name. kKvNonexistentInstance.
ErrCode GetCurrentLanguage(KVContextBlock* block, int32_t id, int32_t* offset,
                           std::string_view* code, std::string_view* name);

// The offset of the first section whose code or name equals the text, case
// ignored; kKvUndefElement when none does, kKvNonexistentInstance.
ErrCode FindLanguageByName(KVContextBlock* block, int32_t id, std::string_view text,
                           int32_t* offset);

// Makes the first section whose code or name equals the text (case ignored)
// current, without running anything: kStatusInstanceChanged when the language changed, 0 when
// it was current, kKvUndefElement when none matches, kKvNonexistentInstance.
ErrCode SelectLanguageByName(KVContextBlock* block, int32_t id, std::string_view text);

// Runs the init handlers of the language blocks active in the current
// language, in list order; the first failure ends them. *ran counts them.
ErrCode RunLanguageInitHandlers(KVContextBlock** slot, int32_t id, int32_t* ran);

// Makes the section at the offset (or kNoLanguage) current and runs the init
// handlers of the language blocks that are now active, then, when any ran,
// the draw handlers: kStatusInstanceChanged. A failing init handler ends them; the draw
// handlers still run and the failure is returned in place of kStatusInstanceChanged. 0 when
// the language was current already; kKvUndefElement for an offset that is no
// section, kKvNonexistentInstance.
ErrCode SetInstanceLanguage(KVContextBlock** slot, int32_t id, int32_t offset);

}  // namespace vke
