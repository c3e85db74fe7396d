// The figure view without a window: its drawing target and its repaints.
#include "app/headless_view.hpp"

#include "app/draw_cycle.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/port.hpp"

namespace vke {

HeadlessFigureView::~HeadlessFigureView() {
  KVContextBlock* b = block();
  if (b == nullptr) return;
  if (b->interaction == &interaction_.gesture()) SetInteractionState(b, nullptr);
  if (image_ != nullptr && b->portTarget == image_.get()) SetGraphicsPortTarget(b, nullptr);
}

ErrCode HeadlessFigureView::Create(int32_t width, int32_t height) {
  InitScreenPortMetrics();
  return CairoTarget::CreateImage(width, height, &image_);
}

void HeadlessFigureView::InstallTarget() {
  SetGraphicsPortFunctions(block(), &ScreenPort());
  SetGraphicsPortTarget(block(), image_.get());
}

void HeadlessFigureView::Paint() {
  if (image_ == nullptr) return;
  InstallTarget();
  DrawInstanceSubplots(block(), id_);
  ++paints_;
}

ErrCode HeadlessFigureView::Press(double x, double y, bool shift) {
  return image_ == nullptr ? kStatusNothingDone : view_.Press(x, y, shift);
}

ErrCode HeadlessFigureView::Move(double x, double y, uint32_t buttons) {
  if (image_ == nullptr) return kStatusNothingDone;
  return view_.Move(
      x, y,
      {(buttons & kViewLeft) != 0, (buttons & kViewMiddle) != 0, (buttons & kViewShift) != 0});
}

ErrCode HeadlessFigureView::Release(bool shift) {
  return image_ == nullptr ? kStatusNothingDone : view_.Release(0, 0, shift);
}

ErrCode HeadlessFigureView::Wheel(double x, double y, int32_t delta, bool shift) {
  return image_ == nullptr ? kStatusNothingDone : view_.Wheel(x, y, delta, shift);
}

ErrCode HeadlessFigureView::SelectClick(double x, double y) {
  return image_ == nullptr ? kStatusNothingDone : view_.SelectClick(x, y);
}

}  // namespace vke
