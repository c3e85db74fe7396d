// The view's mouse rules and the interaction calls on the block.
#include "app/figure_view.hpp"

#include <algorithm>

#include "app/figure_mouse.hpp"
#include "app/figure_pointer.hpp"
#include "engine/text/text.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

constexpr double kWheelNotch = 120.0;
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

bool Accepted(ErrCode code) {
  return code == kOk || code == kStatusRepaint;
}

}  // namespace

std::string ShownStatusText(std::string_view text) {
  std::string shown;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto n = static_cast<int32_t>(text.size());
  for (int32_t at = 0; at < n;) {
    uint16_t ch;
    bool produced;
    const int32_t used = DecodeUtf8Char(bytes + at, n - at, &ch, &produced);
    const std::string_view piece =
        produced ? text.substr(static_cast<size_t>(at), static_cast<size_t>(used))
                 : std::string_view(kReplacement, 3);
    if (shown.size() + piece.size() > static_cast<size_t>(kStatusTextBytes)) break;
    shown += piece;
    at += used > 0 ? used : 1;
  }
  return shown;
}

void FigureView::ShowText(const std::string& text) {
  host_.ShowStatus(ShownStatusText(text));
}

void FigureView::Show(ErrCode code) {
  if (code == kOk) {
    host_.ShowFeedback();
  } else {
    host_.DrawNow();
  }
}

ErrCode FigureView::Press(double x, double y, bool shift) {
  host_.InstallTarget();
  const ErrCode code = interaction_.FigureMouseDown(id_, x, y, shift);
  dragging_ = Accepted(code);
  Show(code);
  if (dragging_) host_.CaptureMouse();
  return code;
}

ErrCode FigureView::Move(double x, double y, MouseButtons buttons) {
  if (buttons.middle) buttons = {true, false, true};
  host_.InstallTarget();
  std::string text;
  if (buttons.left && dragging_) {
    const ErrCode code = interaction_.FigureMouseDrag(id_, x, y, buttons.shift, &text);
    if (code == kStatusMoveDropped) return code;
    dragging_ = Accepted(code);
    if (dragging_) {
      ShowText(text);
    } else {
      host_.ReleaseMouse();
    }
    Show(code);
    return code;
  }
  const ErrCode code = interaction_.FigureMouseHover(id_, x, y, buttons.shift, &text);
  if (code == kStatusMoveDropped) return code;  // the status text stays
  if (code == kStatusRepaint) host_.DrawNow();
  if (!Accepted(code)) text.clear();
  ShowText(text);
  if (dragging_) host_.ReleaseMouse();
  dragging_ = false;
  return code;
}

ErrCode FigureView::Release(double x, double y, bool shift) {
  if (!dragging_) return kStatusNothingDone;
  host_.InstallTarget();
  const ErrCode code = interaction_.FigureMouseUp(id_, x, y, shift);
  dragging_ = false;
  Show(code);
  host_.ReleaseMouse();
  host_.MarkModified();
  return code;
}

ErrCode FigureView::Wheel(double x, double y, int32_t delta, bool shift) {
  host_.InstallTarget();
  std::string text;
  const ErrCode code =
      interaction_.FigureMouseScroll(id_, x, y, 0.0, -delta / kWheelNotch, shift, &text);
  if (code == kStatusRepaint) host_.DrawNow();
  if (!Accepted(code)) text.clear();
  ShowText(text);
  return code;
}

ErrCode FigureView::SelectClick(double x, double y) {
  host_.InstallTarget();
  const ErrCode code = interaction_.FigureSelectClick(id_, x, y);
  if (code != kOk) host_.DrawNow();
  return code;
}

namespace {

// Calls an operation with a status-text buffer and keeps the text.
template <typename Op>
ErrCode WithText(std::string* text, Op op) {
  char buffer[kStatusTextBytes];
  int32_t length = 0;
  const ErrCode code = op(buffer, &length);
  text->assign(buffer, static_cast<size_t>(std::clamp(length, 0, kStatusTextBytes)));
  return code;
}

}  // namespace

const FigureMouseEvents& BlockMouseEvents() {
  static constexpr FigureMouseEvents kEvents{&FigureMouseDown,   &FigureMouseDrag,
                                             &FigureMouseUp,     &FigureMouseHover,
                                             &FigureMouseScroll, &FigureSelectClick};
  return kEvents;
}

KVContextBlock** BlockInteraction::Attach() {
  if (*slot_ != nullptr) SetInteractionState(*slot_, &state_);
  return slot_;
}

ErrCode BlockInteraction::FigureMouseDown(int32_t id, double x, double y, bool shift) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return events_.down(Attach(), id, x, y, shift);
}

ErrCode BlockInteraction::FigureMouseDrag(int32_t id, double x, double y, bool shift,
                                          std::string* text) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return WithText(text, [&](char* buffer, int32_t* length) {
    return events_.drag(Attach(), id, x, y, shift, buffer, kStatusTextBytes, length);
  });
}

ErrCode BlockInteraction::FigureMouseUp(int32_t id, double, double, bool shift) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return events_.up(Attach(), id, shift);
}

ErrCode BlockInteraction::FigureMouseHover(int32_t id, double x, double y, bool shift,
                                           std::string* text) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return WithText(text, [&](char* buffer, int32_t* length) {
    return events_.hover(Attach(), id, x, y, shift, buffer, kStatusTextBytes, length);
  });
}

ErrCode BlockInteraction::FigureMouseScroll(int32_t id, double x, double y, double dx, double dy,
                                            bool shift, std::string* text) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return WithText(text, [&](char* buffer, int32_t* length) {
    return events_.scroll(Attach(), id, x, y, dx, dy, shift, buffer, kStatusTextBytes, length);
  });
}

int32_t BlockInteraction::HitTestForCursor(int32_t id, double x, double y, bool shift) {
  if (*slot_ == nullptr) return 0;
  return vke::HitTestForCursor(*slot_, id, x, y, shift);
}

ErrCode BlockInteraction::FigureSelectClick(int32_t id, double x, double y) {
  if (*slot_ == nullptr) return kStatusNothingDone;
  return events_.select(Attach(), id, x, y);
}

}  // namespace vke
