// The keyboard on the text field being edited: the keys edit the field's
// text in its command, and Enter hands the number to the field's
// "mousedrag" handler.
#include "app/draw_cycle.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/post_event.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/text_field_edit.hpp"

namespace vke {
namespace {

// The edited field's command in the instance's object: its header and
// payload; false when the position holds no command.
bool EditedCommand(KVContextBlock* block, int32_t id, const FigureState& fig, CommandHeader* h,
                   std::byte** data) {
  const ObjectList list(block->DataArea());
  ObjectSpan span{};
  if (fig.editCommand < 0 || !ObjectListFind(list, id, &span)) return false;
  std::byte* payload = list.At(span.position);
  const auto at = static_cast<uint32_t>(fig.editCommand);
  if (!ReadCommandAt(payload, span.length, at, h)) return false;
  *data = payload + size_t{at + kCommandHeaderDoubles} * 8;
  return true;
}

void EndEdit(FigureState* fig) {
  fig->editField = fig->editCommand = fig->caretStart = fig->caretEnd = -1;
}

}  // namespace

ErrCode CommitTextFieldEdit(KVContextBlock** slot, int32_t id, char* text, int32_t size,
                            int32_t* length) {
  const FigureEvent e(slot, id);
  const TextBuffer buffer{text, size, length};
  buffer.Clear();
  InstanceRecord* r = e.record();
  if (r == nullptr) return kKvNonexistentInstance;
  if (e.state() != nullptr) e.state()->pressedSubplot = -1;
  const int32_t k = r->figure.editField;
  CommandHeader h{};
  std::byte* data = nullptr;
  FieldText field{};
  if (k < 0 || k >= ActiveSubplotCount(r->figure) ||
      !EditedCommand(e.block(), id, r->figure, &h, &data) || h.code != kCmdTextField ||
      !FindFieldText(data, h.length, &field)) {
    return kOk;
  }
  int32_t handlers[kSubplotHandlerCount];
  e.FindHandlers(k, h.id, handlers);
  // A text that is not one number, as a whole, runs nothing.
  double number = 0;
  if (handlers[kHandlerMouseDrag] < 0 || !ReadFieldNumber(field.text, field.length, &number)) {
    return kOk;
  }
  EventState& ev = e.event();
  ev.flags = kEventX1 | kEventId | kEventNb;
  ev.x1 = number;
  ev.id = h.id;
  ev.nb = h.index;
  if (ErrCode pushed = e.PushUndo()) return pushed;
  const ErrCode rc = e.Run(k, handlers[kHandlerMouseDrag], kElemMouseDrag, true, &buffer);
  if (rc != kOk) {
    e.DropUndo();
    return rc;
  }
  return kStatusRepaint;
}

void DropTextFieldEdit(KVContextBlock* block, int32_t id) {
  if (InstanceRecord* r = FindInstance(block, id)) EndEdit(&r->figure);
}

ErrCode TextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key, char* text, int32_t size,
                     int32_t* length) {
  const FigureEvent e(slot, id);
  InstanceRecord* r = e.record();
  if (r == nullptr) return kKvNonexistentInstance;
  FigureState& fig = r->figure;
  if (fig.editField < 0) return kOk;
  CommandHeader h{};
  std::byte* data = nullptr;
  FieldText field{};
  if (!EditedCommand(e.block(), id, fig, &h, &data) || h.code != kCmdTextField ||
      !FindFieldText(data, h.length, &field)) {
    return kErrIllegal;
  }
  if (key != kKeyEnter && key != kKeyLineFeed) {
    // A control character the field has no use for (the menus' Ctrl+N,
    // Ctrl+Z) goes on to the window's commands.
    if (key < 0x20 && key != kKeyBackspace && key != kKeyEscape) return kKvUndefElement;
    EditFieldText(&field, &fig.caretStart, &fig.caretEnd, key);
    return kStatusRepaint;
  }
  return EndTextFieldEdit(slot, id, text, size, length);
}

ErrCode EndTextFieldEdit(KVContextBlock** slot, int32_t id, char* text, int32_t size,
                         int32_t* length) {
  const FigureEvent e(slot, id);
  const ErrCode rc = CommitTextFieldEdit(slot, id, text, size, length);
  if (InstanceRecord* after = e.record()) EndEdit(&after->figure);
  if (rc == kKvNonexistentInstance) return rc;
  // The field shows its variable again, whether the number was taken, refused
  // or never handed over: the text typed is not left standing.
  ErrCode drawn = e.Redraw();
  if (rc != kOk && rc != kStatusRepaint) return rc;
  if (drawn == kOk && rc == kStatusRepaint) drawn = RunPostEventHandlers(slot, id);
  return drawn == kOk ? kStatusRepaint : drawn;
}

}  // namespace vke
