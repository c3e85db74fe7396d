// The natives that put text into a subplot and build a control panel: text
// with its font structure (fontset), sliders, rows of buttons, check boxes
// and radio buttons, pop-up menus, numeric text fields, and the panel's tab
// stops and vertical arrangement. Each checks its arguments and the room for
// everything a control writes before writing it; controls written earlier in
// the same call stay when a later one fails.
#pragma once

#include "graphics/plot_frame.hpp"

namespace vke {

// Values of the table's extra argument of AddButtonRows.
inline constexpr uint32_t kButtonsOfKind = 0;  // button(label, value, kind, style, id)
inline constexpr uint32_t kPushButtons = 1;    // pushbutton(label, style, id)

// text(str), text(x, y, str), text(x, y, z, str), each but the first with a
// justification and each with a font structure last: commands 55, 56, 57,
// with 68 before and 69 after when a font is given.
ErrCode AddTextObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// fontset(), fontset(name, value, ...), fontset(font, name, value, ...).
ErrCode FontsetNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// slider(label, value, range, kind, style, id): commands 59 and 60.
ErrCode AddSliders(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// button and pushbutton: one command 61, 62 or 63 per row.
ErrCode AddButtonRows(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// popupmenu(label, items, selected, style, id): command 64.
ErrCode AddPopupMenu(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// textfield(label, format, value, style, id): one command 65 per value.
ErrCode AddTextFields(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// settabs(stops): command 66.
ErrCode SetTabs(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// vertcontrols(flag): command 67.
ErrCode SetVertControls(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);

// The text a field shows: at most this many characters, NUL-padded to
// kFieldTextBytes in the command.
inline constexpr int32_t kFieldTextChars = 16;
inline constexpr int32_t kFieldTextBytes = 17;

}  // namespace vke
