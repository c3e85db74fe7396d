// The state of one mouse gesture on a figure, from a press to its release:
// the subplot pressed and its resize corner, the press and current points,
// the subplots that follow it, the feedback drawn on the screen, and the
// limit on the rate of mouse moves. None of it belongs in an image: the
// host owns the record and gives the block its address; the mouse
// operations do nothing (kStatusNothingDone) without one.
#pragma once

#include <cstdint>

#include "app/block.hpp"

namespace vke {

// Seconds between two mouse moves that both reach the figure.
inline constexpr double kMoveIntervalReload = 0.010;

struct InteractionState {
  int32_t pressedSubplot = -1;  // -1: no press in progress
  int32_t corner = 0;           // ResizeCorner of a Select press
  // The press point (pixels); the panning and camera tools move it along
  // with the pointer, and a dolly forward keeps its view distance and the
  // pointer's distance from the centre in it.
  double press[2] = {0, 0};
  double current[2] = {0, 0};  // the last point a drag saw
  // The pointer at the last move of the gesture, one the rate limit dropped
  // too (pixels, as given), and whether that move was dropped: the release
  // makes it first.
  double pointer[2] = {0, 0};
  uint8_t moveDropped = 0;
  uint8_t pushButton = 0;       // the press holds a push button down
  uint32_t followMask = 0;      // subplots that follow the pressed one (bit = index)
  uint8_t rectangleDrawn = 0;   // a zoom rectangle is on the screen
  uint8_t rectangleAlongX = 0;  // it spans the subplots' height
  int32_t targetCell = -1;      // Select in a grid: the cell under the pointer
  uint8_t outlinesDrawn = 0;    // Select: outlines of the moved subplots are shown
  double outlineOffset[2] = {0, 0};
  // The target the rectangle or the outlines were drawn on, where painting
  // the figure anew draws them again.
  const void* feedbackTarget = nullptr;
  // The undo version of a gesture whose press handler has one of its own
  // below it (-1: none); the two become one when the gesture ends.
  int32_t foldVersion = -1;
  double minMoveInterval = 0;  // seconds the next move must wait
  double intervalReload = kMoveIntervalReload;
};

// Gives the block the host's interaction record (null: none).
void SetInteractionState(KVContextBlock* block, InteractionState* state);

}  // namespace vke
