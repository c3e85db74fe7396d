// The view's rules for the mouse on a figure, without a window: when a press
// starts a drag and takes the mouse, which moves go to the drag and which to
// the hover, when the figure is drawn at once, what reaches the status text,
// and when the drag ends and gives the mouse back. The window's view feeds
// it its events; tests and check scripts drive it headless.
#pragma once

#include <string>
#include <string_view>

#include "app/block.hpp"
#include "app/interaction_state.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

// The most a status text shows, in bytes.
inline constexpr int32_t kStatusTextBytes = 255;

// The interaction calls on one instance's figure, at a point in pixels; the
// codes of figure_mouse.hpp, kStatusNothingDone when there is no engine. The moves and
// the wheel give their status text. CursorCode answers 0 to 15, anything
// above leaving the cursor as it is.
class FigureInteraction {
 public:
  virtual ~FigureInteraction() = default;
  virtual ErrCode FigureMouseDown(int32_t id, double x, double y, bool shift) = 0;
  virtual ErrCode FigureMouseDrag(int32_t id, double x, double y, bool shift,
                                  std::string* text) = 0;
  virtual ErrCode FigureMouseUp(int32_t id, double x, double y, bool shift) = 0;
  virtual ErrCode FigureMouseHover(int32_t id, double x, double y, bool shift,
                                   std::string* text) = 0;
  virtual ErrCode FigureMouseScroll(int32_t id, double x, double y, double dx, double dy,
                                    bool shift, std::string* text) = 0;
  virtual int32_t HitTestForCursor(int32_t id, double x, double y, bool shift) = 0;
  // A press and release in Select mode, without Shift (the context menu's
  // button).
  virtual ErrCode FigureSelectClick(int32_t, double, double) { return kStatusNothingDone; }
};

// What the view does for the rules.
class FigureViewHost {
 public:
  virtual ~FigureViewHost() = default;
  // Makes the view's drawing target the port's, before every call.
  virtual void InstallTarget() = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  // Draws the figure before returning.
  virtual void DrawNow() = 0;
  // Shows the feedback a call drew on the figure's image by inversion (a
  // zoom rectangle, outlines, selection marks), without drawing it anew.
  virtual void ShowFeedback() {}
  // Shows a text (valid UTF-8) in the status bar's first pane, at once.
  virtual void ShowStatus(std::string_view text) = 0;
  // The document changed by a completed drag.
  virtual void MarkModified() = 0;
};

// The buttons held during a move.
struct MouseButtons {
  bool left;
  bool middle;
  bool shift;
};

class FigureView {
 public:
  FigureView(FigureInteraction& interaction, FigureViewHost& host)
      : interaction_(interaction), host_(host) {}

  void SetInstance(int32_t id) { id_ = id; }
  bool Dragging() const { return dragging_; }

  // Each gives the interaction call's result; a release without a drag
  // calls nothing and answers kStatusNothingDone.
  ErrCode Press(double x, double y, bool shift);
  // The middle button presses as the left one with Shift.
  ErrCode MiddlePress(double x, double y) { return Press(x, y, true); }
  ErrCode Move(double x, double y, MouseButtons buttons);
  ErrCode Release(double x, double y, bool shift);
  // delta in the toolkit's units, 120 a notch, positive away from the user.
  ErrCode Wheel(double x, double y, int32_t delta, bool shift);
  // A click of the context menu's button; draws the figure unless it
  // answers 0.
  ErrCode SelectClick(double x, double y);
  // The mouse was taken away: the drag is over.
  void CaptureLost() { dragging_ = false; }

 private:
  void ShowText(const std::string& text);
  // After a press, drag or release: 0 shows the feedback drawn, anything
  // else draws the figure.
  void Show(ErrCode code);

  FigureInteraction& interaction_;
  FigureViewHost& host_;
  int32_t id_ = 0;
  bool dragging_ = false;
};

// A text the interaction code gave, as shown: at most kStatusTextBytes
// bytes, cut before an incomplete character, and each byte that starts no
// character replaced by U+FFFD.
std::string ShownStatusText(std::string_view text);

// The figure's mouse operations the interaction calls. Drag, hover and
// scroll fill a status text of at most `size` bytes and give its length.
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

// The mouse operations on the block in the slot (without a block they
// answer kStatusNothingDone, the cursor query 0), with the gesture record
// they keep; the record is given to the block at every call, so the block
// may be replaced or moved in between.
class BlockInteraction : public FigureInteraction {
 public:
  explicit BlockInteraction(KVContextBlock** slot,
                            const FigureMouseEvents& events = BlockMouseEvents())
      : slot_(slot), events_(events) {
    Attach();
  }
  BlockInteraction(const BlockInteraction&) = delete;
  BlockInteraction& operator=(const BlockInteraction&) = delete;
  ErrCode FigureMouseDown(int32_t id, double x, double y, bool shift) override;
  ErrCode FigureMouseDrag(int32_t id, double x, double y, bool shift, std::string* text) override;
  ErrCode FigureMouseUp(int32_t id, double x, double y, bool shift) override;
  ErrCode FigureMouseHover(int32_t id, double x, double y, bool shift, std::string* text) override;
  ErrCode FigureMouseScroll(int32_t id, double x, double y, double dx, double dy, bool shift,
                            std::string* text) override;
  int32_t HitTestForCursor(int32_t id, double x, double y, bool shift) override;
  ErrCode FigureSelectClick(int32_t id, double x, double y) override;
  const InteractionState& gesture() const { return state_; }

 private:
  // The slot, its block given the gesture record.
  KVContextBlock** Attach();

  KVContextBlock** slot_;
  FigureMouseEvents events_;
  InteractionState state_;
};

}  // namespace vke
