// A test tool for runs again after growth: one builtin or native of the
// host's tables called with its room cut short, so that a statement calling
// it fails for lack of room at a chosen point, as a full area would make it
// fail, and the loop's retry path runs it again once there is room.
//
// The room is cut at the function's entry by lowering the data stack's or
// the descriptor stack's capacity to what is in use plus a spare amount, and
// given back when it returns: every check of room the function makes meets
// the lower capacity, and nothing else of the run does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/builtin_hooks.hpp"
#include "engine/context.hpp"
#include "engine/registry/native_record.hpp"

namespace vke::test {

// The part whose room a limited call finds short: a stack, or the code
// area's free bytes between its code and its names (for functions that
// only add names: the code's end is put back after the call).
enum class RoomPart { kData, kDescriptors, kCode };

class RoomLimit {
 public:
  // Wraps the functions of that name: the builtin row of the dispatch table
  // and the plain native records (kind 0) of the registry. found() tells
  // whether there is one.
  RoomLimit(EngineContext* ctx, const std::string& name);
  ~RoomLimit();
  RoomLimit(const RoomLimit&) = delete;
  RoomLimit& operator=(const RoomLimit&) = delete;

  bool found() const { return found_; }

  // The calls from now on, until one fails for lack of room, find `spare`
  // units (kData), words (kDescriptors) or bytes (kCode) free beyond what is
  // in use. The
  // call counts start again.
  void Arm(RoomPart part, uint32_t spare);
  // Calls without a limit from now on.
  void Disarm();
  // Calls of the function since Arm, and whether one of them failed for
  // lack of room.
  int32_t calls() const;
  bool failed() const;

 private:
  EngineContext* ctx_;
  bool found_ = false;
  const BuiltinHooks* hooks_ = nullptr;  // the host's, restored at the end
  BuiltinHooks wrappedHooks_{};
  std::vector<BuiltinDispatch> rows_;
  // The registry entries whose tables are copied with their records of the
  // name wrapped, and their own tables, restored at the end.
  struct WrappedTable {
    uint32_t entry;
    const NativeFunctionRecord* table;
    std::vector<NativeFunctionRecord> records;
  };
  std::vector<WrappedTable> tables_;
};

}  // namespace vke::test
