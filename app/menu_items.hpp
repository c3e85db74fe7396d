// The application's menu items (kElemMenuItem) with their states, and the
// menu lookup the host builds its menus with. The states of menu items,
// paste items (kElemPaste) and copy items (kElemCopy) come from the instance's function
// "_menuFlags", run with the instance's variables, the type of the data on
// the clipboard and the selected subplot's _param, and are cached in the
// instance record for one undo version until a handler changes a variable.
#pragma once

#include <string_view>

#include "app/block.hpp"

namespace vke {

// One stop of the menu lookup.
struct MenuEntry {
  uint32_t kind;          // element kind
  std::string_view text;  // its text (menu title, item text), empty without
  uint32_t word;          // its first payload word, 0 without payload
};

// Steps from the element at word position *position (-1: the instance start)
// to the next active element of the family the letter names: 'm' menu items
// (kElemMenuItem), 'f' figures (kElemFigure), 'i' and 'I' paste items (kElemPaste),
// any other copy items (kElemCopy). Elements after the end of a language block
// (kElemLanguageEnd) are active again.
// With menus, it also stops at the start (kElemMenuStart) of every menu that holds an
// element of the family, skipping the others whole, and at menu ends (kElemMenuEnd);
// with structure, also at menu structure texts (kElemMenuStructure); with separators, also
// at menu separators (kElemMenuSeparator). A kElemMenuLookupEnd, the next instance start or the end
// of the list gives kKvUndefElement; kKvNonexistentInstance.
ErrCode GetMenuItemInfo(KVContextBlock* block, int32_t id, char letter, int32_t* position,
                        MenuEntry* entry, bool menus = false, bool structure = false,
                        bool separators = false);

// Whether the handler of the item at the position reads or writes _param.
bool MenuItemUsesParam(KVContextBlock* block, int32_t id, int32_t position);

// Runs "_menuFlags" of the instance's code with its inputs: the current
// value of every variable above 105 in the order of the instance's undo set,
// the _xdatatype of the data (an empty string without), and the selected
// subplot's _param. Its three outputs are left on the stack, the first on
// top, those that are number arrays converted to one-byte integers.
// kErrUndefFun when the instance's code has no such function; kStatusNoPrint while a
// handler runs. An instruction of its code that finds no room waits while
// the block grows; a memory code, with nothing left on the stack, when the
// inputs, the call's frame or a conversion found none.
ErrCode RunMenuFlagsFunction(KVContextBlock** slot, int32_t id, const char* data, int32_t length);

// Converts the output of "_menuFlags" at the depth to one-byte integers;
// false when it is no number array.
bool ConvertMenuFlags(EngineContext* ctx, int32_t depth);
// Flag `index` of the output at the depth, converted; 0 past its end or for
// an output that is no number array.
int32_t MenuFlagAt(EngineContext* ctx, int32_t depth, int32_t index);

// The bits of a menu item's state.
inline constexpr uint8_t kMenuStateEnabled = 1;
inline constexpr uint8_t kMenuStateChecked = 2;
// A menu item whose check flag is negative carries no check mark: the
// generated "_menuFlags" gives -1 to the items without a checked
// expression. The bit stands also while the item is disabled for want of a
// selected subplot.
inline constexpr uint8_t kMenuStateNoCheckMark = 4;

// The state of the element at the position: for a menu item (kElemMenuItem), paste
// item (kElemPaste, a continuation answering for its group) or copy item (kElemCopy) the
// bits above (paste and copy items: enabled only), from the cache of the given undo version or
// computed anew; for a language section (kElemLanguageSection) 3 when it is the current one,
// else 1. Items past the 64 the cache holds are disabled. kKvUndefElement, kKvNonexistentInstance.
// "_menuFlags" that finds no room grows the block and runs again; where the
// block cannot grow, the shortage is returned.
ErrCode GetMenuItemState(KVContextBlock** slot, int32_t id, int32_t position, int32_t version,
                         const char* data, int32_t length, uint8_t* state);

// Runs the menu item's handler in a new undo version with the selected
// subplot as its object, then the draw handlers and the post-event handlers:
// kStatusRepaint. A failure drops the new version and is returned (kStatusNoPrint as 0).
ErrCode RunMenuItemHandler(KVContextBlock** slot, int32_t id, int32_t position);

// The selected subplot of the instance (0 in a 1 x 1 grid), -1 without one.
int32_t GetSelectedSubplot(KVContextBlock* block, int32_t id);

}  // namespace vke
