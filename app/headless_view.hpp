// A figure view without a window: the view's rules of figure_view.hpp over
// an off-screen image of the figure's size, drawn through the screen port,
// counting its paints and keeping the status text. Tests and check scripts
// drive it; the window's view runs the same rules. The view keeps the
// record of the gesture and gives it to the block with its port.
#pragma once

#include <memory>
#include <string>

#include "app/block.hpp"
#include "app/figure_view.hpp"
#include "app/interaction_state.hpp"
#include "graphics/cairo_target.hpp"

namespace vke {

// Buttons held during a move.
enum ViewButtons : uint32_t {
  kViewLeft = 1,
  kViewMiddle = 2,
  kViewShift = 4,
};

class HeadlessFigureView : private FigureViewHost {
 public:
  HeadlessFigureView(KVContextBlock** slot, int32_t id,
                     const FigureMouseEvents& events = BlockMouseEvents())
      : slot_(slot), id_(id), interaction_(slot, events), view_(interaction_, *this) {
    view_.SetInstance(id);
  }
  // The block forgets the image and the gesture record when they are its.
  ~HeadlessFigureView() override;
  HeadlessFigureView(const HeadlessFigureView&) = delete;
  HeadlessFigureView& operator=(const HeadlessFigureView&) = delete;

  // The image of width x height pixels the figure is drawn on.
  ErrCode Create(int32_t width, int32_t height);

  // Without an image each answers kStatusNothingDone and calls nothing.
  ErrCode Press(double x, double y, bool shift);
  ErrCode MiddlePress(double x, double y) { return Press(x, y, true); }
  // A move with the buttons held (ViewButtons bits).
  ErrCode Move(double x, double y, uint32_t buttons);
  // Nothing unless dragging: kStatusNothingDone.
  ErrCode Release(bool shift);
  // A wheel turn of `delta` (120 per notch, positive away from the user).
  ErrCode Wheel(double x, double y, int32_t delta, bool shift);
  // A click of the context-menu button; repaints unless it answers 0.
  ErrCode SelectClick(double x, double y);
  // Draws the figure on the image, as a window does after a change.
  void Paint();

  bool dragging() const { return view_.Dragging(); }
  int32_t paints() const { return paints_; }
  const std::string& status() const { return status_; }
  const InteractionState& gesture() const { return interaction_.gesture(); }
  CairoTarget* image() const { return image_.get(); }

 private:
  KVContextBlock* block() const { return *slot_; }

  void InstallTarget() override;
  void CaptureMouse() override {}
  void ReleaseMouse() override {}
  void DrawNow() override { Paint(); }
  void ShowStatus(std::string_view text) override { status_ = text; }
  void MarkModified() override {}

  KVContextBlock** slot_;
  int32_t id_;
  BlockInteraction interaction_;
  FigureView view_;
  std::unique_ptr<CairoTarget> image_;
  int32_t paints_ = 0;
  std::string status_;
};

}  // namespace vke
