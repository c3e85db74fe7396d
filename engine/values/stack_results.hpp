// Results that replace a call's inputs on the stacks: the steps with which
// builtins and natives leave their outputs where their inputs were.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Drops the top n inputs and pushes a logical scalar in their place (a push
// without room leaves them as they were, PushInPlaceOfTop).
ErrCode ReplaceInputsWithLogical(EngineContext* ctx, int32_t n, bool value);
// Drops the n inputs of a call that gives no output; a call as a statement
// (nargout < 0) leaves the no-value marker in their place, as above.
ErrCode ReplaceInputsWithNothing(EngineContext* ctx, int32_t n, int32_t nargout);
// For a native that writes text and then calls ReplaceInputsWithNothing:
// the room of a statement's no-value marker where no input leaves its
// entry, asked for before a line is written (MakeRoomForResult), so that a
// run again after growth does not write the text twice.
ErrCode RoomForNothing(EngineContext* ctx, int32_t n, int32_t nargout);
// Replaces the top n inputs with a double scalar, complex when im is not 0.
// Where the inputs hold the scalar's room, it takes that room without a
// request a test could refuse and without a check that could fail, so that
// a builtin that has used its inputs up (factored them in place) always
// ends; elsewhere it is pushed as PushInPlaceOfTop pushes it.
ErrCode ReplaceInputsWithScalar(EngineContext* ctx, int32_t n, double re, double im = 0);
// Whether `entries` more entries, holding `units` data units in all, fit
// on the stacks: the one request for the room of a plan, after which the
// test mode refuses none of the pushes it covers (HoldPlannedStackRoom).
// kErrStackOverflow or kErrDataOverflow when they do not.
ErrCode CheckPlannedRoom(EngineContext* ctx, int64_t entries, int64_t units);
// Drops the n inputs lying under the result on top.
ErrCode DropInputsUnderResult(EngineContext* ctx, int32_t n);

// Makes the char array on top a 1 x n row of its characters first to
// first + n - 1 (0 x 0 when n is 0), moved to the front of its own data.
ErrCode ShrinkTopCharRow(EngineContext* ctx, int32_t first, int32_t n);

}  // namespace vke
