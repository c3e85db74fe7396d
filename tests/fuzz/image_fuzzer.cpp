// Fuzzes the application image loader with libFuzzer. Inputs are image
// files of the runtime's own native tables; most mutations are made inside
// the inflated records and the file put together again, so that they reach
// past the zlib checksums. Whatever the input, the load answers a code. A
// failed load must leave an empty block; a loaded block must stand the walks
// the runtime makes over it and must save an image that loads again. Built
// with VKE_SEEDS_MUST_LOAD (the normal build's run over the seeds), an
// image that does not load fails the run.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/image.hpp"
#include "app/instance_info.hpp"
#include "app/instances.hpp"
#include "app/menu_items.hpp"
#include "app/reset_data.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/values/values.hpp"
#include "tests/app/block_host.hpp"
#include "tests/app/image_frames.hpp"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace vke {
namespace {

constexpr uint32_t kBlockBytes = 1u << 20;
constexpr uint32_t kMaxBlockBytes = 2u << 20;
constexpr const char* kExecutable = "/nonexistent/runtime";
constexpr uint32_t kLastElementKind = 48;
constexpr int kMaxWalkSteps = 4096;
constexpr int kMaxSlices = 10000;
constexpr test::HostTables kTables = test::HostTables::kRuntime;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The element lookups, titles and variable values of every instance.
void WalkInstances(KVContextBlock* b) {
  EngineContext* ctx = b->Engine();
  for (int32_t i = 0; i < b->instanceCount; i++) {
    const auto id = static_cast<int32_t>(InstanceRecordAt(b, i)->id);
    char title[256];
    int32_t length = 0;
    GetInstanceTitle(b, id, title, sizeof title, &length);
    for (uint32_t kind = 1; kind <= kLastElementKind; kind++) {
      int32_t position = -1;
      for (int n = 0; n < kMaxWalkSteps && FindElement(b, id, &position, kind) == kOk; n++) {
      }
    }
    int32_t variable = 0;
    for (int32_t n = 0; GetUndoSetVariableId(b->UndoArea(), id, n, false, &variable) == kOk; n++)
      for (int32_t back = 0; back < static_cast<int32_t>(kUndoDepth); back++)
        if (PushUndoValue(b, id, back, variable) == kOk) Drop(ctx);
  }
}

// Reset Data, the draw handlers and the first menu item of every instance:
// code run from the loaded code positions on the loaded frames. Whatever
// they answer, the block stays whole.
void RunInstances(KVContextBlock** slot) {
  // Handlers run in slices, and a handler that loops is stopped: the test
  // is the block's and the engine's abort callback, as the runtime sets it.
  int slices = 0;
  SetEngineCallbackPair(
      *slot, [](uintptr_t count) { return ++*reinterpret_cast<int*>(count) > kMaxSlices; },
      reinterpret_cast<uintptr_t>(&slices));
  for (int32_t i = 0; i < (*slot)->instanceCount; i++) {
    const auto id = static_cast<int32_t>(InstanceRecordAt(*slot, i)->id);
    ResetInstanceData(slot, id);
    RunDrawHandlers(slot, id);
    int32_t position = -1;
    if (FindElement(*slot, id, &position, kElemMenuItem) == kOk)
      RunMenuItemHandler(slot, id, position);
  }
  SetEngineCallbackPair(*slot, nullptr, 0);
  Require(UndoBufferIsValid((*slot)->UndoArea(), (*slot)->undoBytes));
}

void CheckEmpty(KVContextBlock* b) {
  Require(b->instanceCount == 1 && b->elementWords == 0);
  Require(b->Engine()->funcCount == 1 && b->Engine()->nameStart == 0);
  Require(UndoBufferIsValid(b->UndoArea(), b->undoBytes));
}

void CheckLoaded(KVContextBlock** slot, const std::string& title) {
  WalkInstances(*slot);
  std::vector<uint8_t> again;
  Require(SaveImageBytes(*slot, title, &again) == kOk);
  test::BlockHost second(kBlockBytes, kMaxBlockBytes, kTables);
  Require(LoadImageBytes(second.slot(), again.data(), again.size(), kExecutable, nullptr) == kOk);
  RunInstances(slot);
}

}  // namespace
}  // namespace vke

#ifdef VKE_SEEDS_MUST_LOAD
// The seed's file name, from the seeds' driver.
extern "C" const char* gSeedName;
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vke::test::BlockHost host(vke::kBlockBytes, vke::kMaxBlockBytes, vke::kTables);
  std::string title;
  const vke::ErrCode e = vke::LoadImageBytes(host.slot(), data, size, vke::kExecutable, &title);
#ifdef VKE_SEEDS_MUST_LOAD
  // Damaged images the loader must refuse are named so.
  const bool refused = std::strncmp(gSeedName, "refused-", 8) == 0;
  if (e && !refused) {
    std::fprintf(stderr, "a seed image is refused with %d: write the seeds again (README)\n", e);
    std::abort();
  }
  if (!e && refused) {
    std::fprintf(stderr, "the damaged seed image %s loads\n", gSeedName);
    std::abort();
  }
#endif
  if (e)
    vke::CheckEmpty(host.block());
  else
    vke::CheckLoaded(host.slot(), title);
  return 0;
}

// Mutates one inflated record (keeping its size half of the time, so that
// the header still describes it) and compresses the image again; now and
// then, or when the input is no image, the raw bytes.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::minstd_rand random(seed);
  vke::test::ImageParts parts;
  if (random() % 8 == 0 || !vke::test::SplitImage(data, size, &parts, 4u << 20) ||
      parts.records.empty())
    return LLVMFuzzerMutate(data, size, maxSize);
  std::vector<uint8_t>& record = parts.records[random() % parts.records.size()];
  if (record.empty()) record.push_back(0);
  const size_t length = record.size();
  const bool keepSize = random() % 2 == 0;
  record.resize(length + 64);
  const size_t mutated = LLVMFuzzerMutate(record.data(), length, keepSize ? length : record.size());
  record.resize(keepSize ? length : mutated);
  const std::vector<uint8_t> file = vke::test::JoinImage(parts);
  if (file.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
  std::memcpy(data, file.data(), file.size());
  return file.size();
}
