// A figure view without a window: the view's rules for the mouse over an
// off-screen image of the figure's size, drawn through the screen port. A
// press starts a drag when it answers 0 or 10201; moves with the left (or
// middle, which counts as left with Shift) button go to the drag only while
// dragging, and a move the rate limit dropped (10203) changes nothing; a
// release ends the drag; press, drag and release repaint when they answer
// anything but 0, hover and wheel only on 10201. The window's view follows
// the same rules; tests and check scripts drive this one. The view keeps
// the record of the gesture and gives it to the block with its port.
#pragma once

#include <memory>
#include <string>

#include "app/block.hpp"
#include "app/interaction_state.hpp"
#include "graphics/cairo_target.hpp"

namespace vke {

// The figure's mouse operations the view calls. Drag, hover and scroll
// fill a status text of at most `size` bytes and give its length.
struct FigureMouseEvents {
  ErrCode (*down)(KVContextBlock** slot, int32_t id, double x, double y, bool shift);
  ErrCode (*drag)(KVContextBlock** slot, int32_t id, double x, double y, bool shift, char* text,
                  int32_t size, int32_t* length);
  ErrCode (*up)(KVContextBlock** slot, int32_t id, bool shift);
  ErrCode (*hover)(KVContextBlock** slot, int32_t id, double x, double y, bool shift, char* text,
                   int32_t size, int32_t* length);
  ErrCode (*scroll)(KVContextBlock** slot, int32_t id, double x, double y, double dx, double dy,
                    bool shift, char* text, int32_t size, int32_t* length);
  // A click of the context-menu button.
  ErrCode (*select)(KVContextBlock** slot, int32_t id, double x, double y);
};

// The figure's own mouse operations (figure_mouse.hpp).
const FigureMouseEvents& BlockMouseEvents();

// Buttons held during a move.
enum ViewButtons : uint32_t {
  kViewLeft = 1,
  kViewMiddle = 2,
  kViewShift = 4,
};

class HeadlessFigureView {
 public:
  HeadlessFigureView(KVContextBlock** slot, int32_t id,
                     const FigureMouseEvents& events = BlockMouseEvents())
      : slot_(slot), id_(id), events_(events) {}
  // The block forgets the image and the gesture record when they are its.
  ~HeadlessFigureView();
  HeadlessFigureView(const HeadlessFigureView&) = delete;
  HeadlessFigureView& operator=(const HeadlessFigureView&) = delete;

  // The image of width x height pixels the figure is drawn on.
  ErrCode Create(int32_t width, int32_t height);

  ErrCode Press(double x, double y, bool shift);
  ErrCode MiddlePress(double x, double y) { return Press(x, y, true); }
  // A move with the buttons held (ViewButtons bits).
  ErrCode Move(double x, double y, uint32_t buttons);
  // Nothing unless dragging: 10200.
  ErrCode Release(bool shift);
  // A wheel turn of `delta` (120 per notch, positive away from the user).
  ErrCode Wheel(double x, double y, int32_t delta, bool shift);
  // A click of the context-menu button; repaints unless it answers 0.
  ErrCode SelectClick(double x, double y);
  // Draws the figure on the image, as a window does after a change.
  void Paint();

  bool dragging() const { return dragging_; }
  int32_t paints() const { return paints_; }
  const std::string& status() const { return status_; }
  const InteractionState& gesture() const { return gesture_; }
  CairoTarget* image() const { return image_.get(); }

 private:
  KVContextBlock* block() const { return *slot_; }
  void InstallPort();

  KVContextBlock** slot_;
  int32_t id_;
  FigureMouseEvents events_;
  std::unique_ptr<CairoTarget> image_;
  bool dragging_ = false;
  int32_t paints_ = 0;
  std::string status_;
  InteractionState gesture_;  // given to the block with the port
};

}  // namespace vke
