// The title, version and help texts of an instance: the standard variables
// _title, _version and _help when they hold text, else the texts of the
// instance's kElemTitle, kElemVersion and kElemHelp elements. Letters: 't', 'v', 'h'.
#pragma once

#include <string_view>

#include "app/block.hpp"

namespace vke {

// Pushes the text as a char row. kErrIllegal for another letter; without a text,
// kKvUndefElement when required, else an empty text. kKvNonexistentInstance.
ErrCode GetInstanceInfoText(KVContextBlock* block, int32_t id, char letter, bool require);
// Stores the text (null: []) as the variable's value in the current version
// of the instance's undo set.
ErrCode SetInstanceInfoText(KVContextBlock* block, int32_t id, const char* text, int32_t length,
                            char letter);
// The text as UTF-8 in buffer (NUL-terminated when there is room, cut at a
// character) and its length. Mode 'n' gives it as it is; the others convert
// its markup for display: 'r' to RTF, 'h' to HTML, any other to plain text
// (the help) or compact text (title and version), with the block's line
// ends. 3 when the free data stack cannot hold the conversion.
ErrCode GetInstanceText(KVContextBlock* block, int32_t id, char mode, char letter, char* buffer,
                        int32_t capacity, int32_t* length);
ErrCode GetInstanceTitle(KVContextBlock* block, int32_t id, char* buffer, int32_t capacity,
                         int32_t* length);
ErrCode GetInstanceVersionText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                               int32_t capacity, int32_t* length);
ErrCode GetInstanceHelpText(KVContextBlock* block, int32_t id, char mode, char* buffer,
                            int32_t capacity, int32_t* length);

}  // namespace vke
