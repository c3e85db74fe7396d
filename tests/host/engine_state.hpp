// Test tools for stored and moved engines: images held in memory as framed
// records, an engine area the test can move into a larger block as the host
// does, and a sample state touching every part of the area (values, variables,
// a shared global, compiled code, names, a listed thread) with its checks.
#pragma once

#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/image/engine_image.hpp"

namespace vke::test {

// An engine image as a list of records, one per writer call. Reading hands
// them out in order and fails, as the application's compressed reader does,
// when a record holds another number of bytes than asked for or none is left.
struct MemoryImage {
  std::vector<std::vector<uint8_t>> records;
  size_t next = 0;  // the record the next read takes

  uintptr_t arg() { return reinterpret_cast<uintptr_t>(this); }
  static bool Write(const void* source, uint32_t count, uintptr_t self);
  static bool Read(void* destination, uint32_t count, uintptr_t self);
  EngineImageHeader& header() { return *reinterpret_cast<EngineImageHeader*>(records[0].data()); }
};

// Saves ctx into a fresh MemoryImage.
MemoryImage SaveToMemory(EngineContext* ctx);
// Loads the image from its first record.
ErrCode LoadFromMemory(EngineContext* ctx, MemoryImage& image);

// An engine area owned by the test, holding a copy of an engine.
class MovableArea {
 public:
  MovableArea(EngineContext* from, uint32_t bytes);
  EngineContext* ctx() const { return static_cast<EngineContext*>(mem_.get()); }
  uint32_t bytes() const { return bytes_; }
  // The host's growth: the area copied into a new block of newBytes (the new
  // room filled with garbage), then spread with the mode.
  void Grow(uint32_t newBytes, int32_t mode);

 private:
  uint32_t bytes_;
  std::unique_ptr<void, decltype(&std::free)> mem_;
};

// Fills a reset engine with: four values on the stacks (42.5, "hello", a 2x3
// matrix 1..6, 3-4i), variables "ans" = 7 and "x" = [10 20], a freed block
// between them and a freed block at the end of the heap, a function "f" and
// a library "mylib" with code, a global "g" = 99 and display options e/7/i.
void FillSampleState(EngineContext* ctx);
void ExpectSampleState(EngineContext* ctx);

// Adds a listed thread whose own stacks hold 3.25 and "thread" and whose host
// timer area holds a marker; returns its block index.
uint32_t AddSampleThread(EngineContext* ctx);
void ExpectSampleThread(EngineContext* ctx, uint32_t block);

}  // namespace vke::test
