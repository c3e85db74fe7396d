// The engine's random generators: a state of two words (an LCG word and a
// xorshift word) advanced into uniform numbers, and normal numbers drawn by
// the Box-Muller formula. The context holds one state for rand (words 0
// and 1 of ctx->rng) and one for randn (words 2 and 3).
#pragma once

#include "engine/context.hpp"

namespace vke {

inline constexpr int kUniformState = 0;  // first word of rand's state in ctx->rng
inline constexpr int kNormalState = 2;   // first word of randn's state

// Advances the state (state[0] the LCG word, state[1] the xorshift word) and
// returns a double in [0, 1).
double NextUniform(uint32_t* state);

// One standard normal number from the state: u1 and u2 from two uniform
// draws (u1 drawn again while it is 0, so that the result is always finite),
// (-2 ln u1)^(1/2) sin(2 pi u2).
double NextNormal(uint32_t* state);

// One number for the statistics natives: kind 'n' a normal number from
// randn's state, any other kind a uniform number from rand's state.
double RandomNumber(EngineContext* ctx, int32_t kind);

}  // namespace vke
