// The figure view without a window: its mouse rules and its repaints.
#include "app/headless_view.hpp"

#include <algorithm>

#include "app/draw_cycle.hpp"
#include "app/figure_mouse.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/port.hpp"

namespace vke {
namespace {

// The status text buffer of a move or a wheel turn.
constexpr int32_t kStatusBytes = 255;
// Wheel units per notch.
constexpr double kWheelNotch = 120;

bool KeepsDragging(ErrCode code) {
  return code == kOk || code == kStatusRepaint;
}

// The status text a call gave, as far as it lies in the buffer.
std::string StatusText(const char* text, int32_t length) {
  return std::string(text, static_cast<size_t>(std::clamp(length, 0, kStatusBytes)));
}

}  // namespace

const FigureMouseEvents& BlockMouseEvents() {
  static constexpr FigureMouseEvents kEvents{&FigureMouseDown,   &FigureMouseDrag,
                                             &FigureMouseUp,     &FigureMouseHover,
                                             &FigureMouseScroll, &FigureSelectClick};
  return kEvents;
}

HeadlessFigureView::~HeadlessFigureView() {
  KVContextBlock* b = block();
  if (b == nullptr) return;
  if (b->interaction == &gesture_) SetInteractionState(b, nullptr);
  if (image_ != nullptr && b->portTarget == image_.get()) SetGraphicsPortTarget(b, nullptr);
}

ErrCode HeadlessFigureView::Create(int32_t width, int32_t height) {
  InitScreenPortMetrics();
  return CairoTarget::CreateImage(width, height, &image_);
}

void HeadlessFigureView::InstallPort() {
  SetGraphicsPortFunctions(block(), &ScreenPort());
  SetGraphicsPortTarget(block(), image_.get());
  SetInteractionState(block(), &gesture_);
}

void HeadlessFigureView::Paint() {
  if (image_ == nullptr) return;
  InstallPort();
  DrawInstanceSubplots(block(), id_);
  ++paints_;
}

ErrCode HeadlessFigureView::Press(double x, double y, bool shift) {
  if (image_ == nullptr) return kStatusNothingDone;
  InstallPort();
  const ErrCode code = events_.down(slot_, id_, x, y, shift);
  dragging_ = KeepsDragging(code);
  if (code != kOk) Paint();
  return code;
}

ErrCode HeadlessFigureView::Move(double x, double y, uint32_t buttons) {
  if (image_ == nullptr) return kStatusNothingDone;
  if (buttons & kViewMiddle) buttons = (buttons & ~kViewMiddle) | kViewLeft | kViewShift;
  const bool shift = (buttons & kViewShift) != 0;
  InstallPort();
  char text[kStatusBytes];
  int32_t length = 0;
  if ((buttons & kViewLeft) && dragging_) {
    const ErrCode code = events_.drag(slot_, id_, x, y, shift, text, kStatusBytes, &length);
    if (code == kStatusMoveDropped) return code;
    dragging_ = KeepsDragging(code);
    if (dragging_) status_ = StatusText(text, length);
    if (code != kOk) Paint();
    return code;
  }
  const ErrCode code = events_.hover(slot_, id_, x, y, shift, text, kStatusBytes, &length);
  if (code == kStatusMoveDropped) return code;  // the status text stays
  if (code == kStatusRepaint) Paint();
  status_ = KeepsDragging(code) ? StatusText(text, length) : std::string();
  dragging_ = false;
  return code;
}

ErrCode HeadlessFigureView::Release(bool shift) {
  if (image_ == nullptr || !dragging_) return kStatusNothingDone;
  InstallPort();
  const ErrCode code = events_.up(slot_, id_, shift);
  dragging_ = false;
  if (code != kOk) Paint();
  return code;
}

ErrCode HeadlessFigureView::Wheel(double x, double y, int32_t delta, bool shift) {
  if (image_ == nullptr) return kStatusNothingDone;
  InstallPort();
  char text[kStatusBytes];
  int32_t length = 0;
  const ErrCode code =
      events_.scroll(slot_, id_, x, y, 0, -delta / kWheelNotch, shift, text, kStatusBytes, &length);
  if (code == kStatusRepaint) Paint();
  status_ = KeepsDragging(code) ? StatusText(text, length) : std::string();
  return code;
}

ErrCode HeadlessFigureView::SelectClick(double x, double y) {
  if (image_ == nullptr) return kStatusNothingDone;
  InstallPort();
  const ErrCode code = events_.select(slot_, id_, x, y);
  if (code != kOk) Paint();
  return code;
}

}  // namespace vke
