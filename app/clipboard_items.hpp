// The application's copy items (kElemCopy) and paste items (kElemPaste). A
// copy item's handler writes clipboard text through its _xdata and
// _xdatatype outputs; a paste item's handler reads the pasted text through
// those inputs, and a "%KV link ## **" line in the text links the item to
// the instance and item it was copied from. A paste item with an empty text
// continues the one before it: the group's first item that "_menuFlags"
// enables for the pasted data takes the paste.
#pragma once

#include "app/block.hpp"

namespace vke {

// Of the paste item at word position `at` and the continuation items after
// it, the first whose flag from "_menuFlags" (computed with the pasted data)
// is set; an item that uses _param counts as unset while no subplot is
// selected. An item that nothing continues is chosen as it is. kKvUndefElement when
// no item of the group is enabled.
ErrCode FindPasteTarget(KVContextBlock** slot, int32_t id, int32_t at, const char* text,
                        int32_t length, int32_t* target);

// Pastes the text (length < 0: NUL-terminated) into the paste item at `at`
// (or the enabled item of its group): a new undo version, the item's handler
// with the text as its data and the selected subplot as its object, the link
// of the text's second line stored in the item, then the draw handlers and
// the post-event handlers: kStatusRepaint. A failure drops the version and is
// returned.
ErrCode PasteLink(KVContextBlock** slot, int32_t id, int32_t at, const char* text, int32_t length);

// Runs the copy item's handler with the selected subplot as its object and
// the link id for its "%KV link" line; its _xdata and _xdatatype outputs write
// the clipboard text into the buffer (capacity bytes; the length written
// goes to *written). The buffer is the caller's: the block may move while
// the handler runs. kKvUndefElement for a position that is no copy item.
ErrCode RunCopyHandler(KVContextBlock** slot, int32_t id, int32_t at, int32_t linkId, char* buffer,
                       int32_t capacity, int32_t* written);

}  // namespace vke
