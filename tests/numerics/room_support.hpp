// What the room tests of the numerical natives share: a filler that leaves
// an exact number of data-stack words free once the arguments lie above
// it, so that a native can be run one word short of its need and with
// exactly its need.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/values/values.hpp"

namespace vke::test {

// Pushes a row such that, after arguments of `argumentWords` data words are
// pushed above it, `free` words stay free.
inline void PushFiller(EngineContext* ctx, int64_t argumentWords, int64_t free) {
  const int64_t filler = int64_t{ctx->dataCap} - ctx->dataTop - argumentWords - free;
  ASSERT_GT(filler, 0);
  double* unused;
  ASSERT_EQ(PushNewMatrix(ctx, 1, static_cast<int32_t>(filler), &unused, nullptr), kOk);
}

}  // namespace vke::test
