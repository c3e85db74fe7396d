// Loading the records of an image into the block: the header and its
// checks, the extensions it names, the rounds of room checks and engine
// state that grow the block until everything fits, the areas read into
// their places, and the empty block left behind by any failure.
#include <set>
#include <string>

#include "app/element_list.hpp"
#include "app/image.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "engine/engine.hpp"
#include "engine/registry/registry.hpp"
#include "engine/room_requests.hpp"
#include "graphics/object_store.hpp"

namespace vke {

namespace {

// No zlib stream inflates more than 1,032 bytes per byte it holds.
constexpr uint64_t kMaxInflateRatio = 1032;

// Room the figure store needs beyond its records: its header and spare
// doubles and one free double.
constexpr uint64_t kMinStoreBytes = 8 * (kObjectListOverhead + 1);

bool Read(const ImageInput& in, void* destination, uint64_t bytes) {
  return in.read(destination, static_cast<uint32_t>(bytes), in.argument);
}

uint64_t InstanceBytes(int64_t count) {
  return static_cast<uint64_t>(count) * kInstanceRecordBytes;
}

// The bytes of the records that the header counts beside the engine's.
uint64_t CountedBytes(const ImageHeader& h, uint32_t extensionBytes) {
  return uint64_t{extensionBytes} + h.dataUsed + InstanceBytes(h.instanceCount) +
         4ull * h.elementWords + h.nameUsed + h.undoHeadBytes + 8ull * h.undoHeapUnits;
}

// The most bytes the rest of the input can inflate to (UINT64_MAX when that
// is not known).
uint64_t InflatableBytes(uint64_t recordBytes) {
  return recordBytes > UINT64_MAX / kMaxInflateRatio ? UINT64_MAX : recordBytes * kMaxInflateRatio;
}

// Counts that no sound image holds: no instance, a name buffer without its
// header, or records that ask more than the rest of the input can inflate
// to. The undo records are checked by LoadUndoBuffer.
bool CountsAreSound(const ImageHeader& h, uint32_t extensionBytes, uint64_t recordBytes) {
  if (h.instanceCount < 1 || h.nameUsed < 8) return false;
  return CountedBytes(h, extensionBytes) <= InflatableBytes(recordBytes);
}

// The most bytes the engine's records can hold: what the input can inflate
// to beyond the records the header counts (which CountsAreSound found it
// can).
uint64_t EngineStateBytes(const ImageHeader& h, uint32_t extensionBytes, uint64_t recordBytes) {
  const uint64_t inflatable = InflatableBytes(recordBytes);
  return inflatable == UINT64_MAX ? UINT64_MAX : inflatable - CountedBytes(h, extensionBytes);
}

// The extension lists of the images loaded, kept for the process, so that
// a block saves the list of the image it holds again.
const char* KeptExtensionNames(const std::string& names) {
  static std::set<std::string> kept;
  return kept.insert(names).first->c_str();
}

// Hands every name of the list to the callback; empty names between two ";"
// are skipped. The names are read into host memory first: loading an
// extension moves the engine's stacks.
ErrCode RegisterNamedExtensions(KVContextBlock* block, const ImageInput& in, uint32_t bytes,
                                ExtensionFolderFn callback, uintptr_t argument) {
  block->extensionNames = nullptr;
  if (bytes == 0) return kOk;
  std::string names(bytes, '\0');
  if (!Read(in, names.data(), bytes)) return kErrEof;
  block->extensionNames = KeptExtensionNames(names);
  if (!callback) return kErrIllegal;
  for (size_t start = 0; start <= names.size();) {
    size_t end = names.find(';', start);
    if (end == std::string::npos) end = names.size();
    if (end > start &&
        callback(block, names.data() + start, static_cast<int32_t>(end - start), argument))
      return kErrInit;
    start = end + 1;
  }
  return kOk;
}

// Whether the areas can take the records: the KV data with room for one
// more instance record and a store, the element list, the name buffer and
// the undo buffer.
ErrCode CheckRoom(KVContextBlock* block, const ImageHeader& h) {
  if (InstanceBytes(h.instanceCount + int64_t{1}) + h.dataUsed + kMinStoreBytes >
          block->dataBytes ||
      RoomRefused(RoomKind::kKvData))
    return kKvPlotOverflow;
  if (4ull * h.elementWords > block->elementBytes || RoomRefused(RoomKind::kElements))
    return kKvNotEnoughMemForKVFile;
  if (h.nameUsed > block->nameBytes) return kKvTooSmallNameBuf;
  return LoadUndoBuffer(block->UndoArea(), h.undoHeadBytes, h.undoHeapUnits, nullptr, 0);
}

// Checks the room and reads the engine's state (whose records hold at most
// stateBytes), growing the block after a memory code; after a growth during
// the engine's records the input goes back to where they start.
ErrCode FitAndLoadEngine(KVContextBlock** slot, const ImageInput& in, const ImageHeader& h,
                         uint64_t stateBytes) {
  int64_t mark = 0;
  if (in.position) in.position(0, &mark, in.argument);
  for (;;) {
    ErrCode e = CheckRoom(*slot, h);
    if (e) {
      if (IsMemoryCode(e) && ExpandMemory(slot, e)) continue;
      return e;
    }
    e = LoadEngineImage((*slot)->Engine(), in.read, in.argument, stateBytes);
    if (!e) return kOk;
    if (!in.position || !IsMemoryCode(e) || !ExpandMemory(slot, e)) return e;
    in.position(1, &mark, in.argument);
  }
}

// Instance ids must be distinct and below the next id to be given.
bool InstancesAreSound(KVContextBlock* block, uint32_t nextId) {
  for (int32_t i = 0; i < block->instanceCount; i++) {
    const uint32_t id = InstanceRecordAt(block, i)->id;
    if (id >= nextId) return false;
    for (int32_t j = 0; j < i; j++)
      if (InstanceRecordAt(block, j)->id == id) return false;
  }
  return true;
}

// The figure store, the instance records, the element list and the name
// buffer, each checked once it is read.
bool ReadAreas(KVContextBlock* block, const ImageInput& in, const ImageHeader& h) {
  uint8_t* data = block->DataArea();
  if (!Read(in, data, h.dataUsed)) return false;
  if (h.dataUsed > 0 && !ObjectListIsValid(data, h.dataUsed / 8)) return false;
  const uint64_t records = InstanceBytes(h.instanceCount);
  const uint64_t store = block->dataBytes - records - kInstanceRecordBytes;
  if (ObjectListResize(ObjectList(data), static_cast<uint32_t>(store / 8))) return false;

  block->instanceCount = h.instanceCount;
  if (!Read(in, data + block->dataBytes - records, records)) return false;
  if (!InstancesAreSound(block, h.nextInstanceId)) return false;

  block->elementWords = h.elementWords;
  if (!Read(in, block->ElementArea(), 4ull * h.elementWords)) return false;
  if (CheckElementList(block->ElementArea(), h.elementWords)) return false;

  return Read(in, block->NameArea(), h.nameUsed) &&
         CheckNameBuffer(block->NameArea(), h.nameUsed) == kOk;
}

// The fields given straight to the block header field of the same name.
#define VKE_LOAD_Block(name) block->name = h.name;
#define VKE_LOAD_Beside(name)
#define VKE_LOAD_Zero(name)

void CopyHeaderFields(KVContextBlock* block, const ImageHeader& h) {
#define VKE_IMAGE_FIELD(type, name, offset, copy, meaning) VKE_LOAD_##copy(name)
#include "app/image_header.def"
#undef VKE_IMAGE_FIELD
}

#undef VKE_LOAD_Block
#undef VKE_LOAD_Beside
#undef VKE_LOAD_Zero

// Idling starts afresh: on for instances that have an idle handler, which
// "idlestate" has not held back.
void ResetIdleStates(KVContextBlock* block) {
  for (int32_t i = 0; i < block->instanceCount; i++) {
    InstanceRecord* r = InstanceRecordAt(block, i);
    int32_t position = -1;
    const bool idles = FindElement(block, static_cast<int32_t>(r->id), &position, kElemIdle) == kOk;
    r->idleState = idles ? kIdleOn : kIdleOff;
    r->idleMode = kIdleModeNone;
    r->idleValue = -1;
    r->idleValue2 = -1;
    r->idleHandler = 1;
  }
}

ErrCode LoadSections(KVContextBlock** slot, const ImageInput& in, ExtensionFolderFn extensions,
                     uintptr_t extensionArgument) {
  ImageHeader h;
  uint8_t word[4];
  if (!Read(in, &h, sizeof h) || !Read(in, word, 4)) return kErrEof;
  const uint32_t extensionBytes = Load<uint32_t>(word);
  if (!CountsAreSound(h, extensionBytes, in.recordBytes)) return kErrInit;
  // The extensions of an image loaded before leave the registry: their
  // tables need not outlive that image, and kept in front they would move
  // every native of this image to another index.
  EngineContext* ctx = (*slot)->Engine();
  UnregisterFrontLibraries(ctx, (*slot)->extensionTables);
  const uint32_t tables = ctx->registryCount;
  const ErrCode registered =
      RegisterNamedExtensions(*slot, in, extensionBytes, extensions, extensionArgument);
  (*slot)->extensionTables = (*slot)->Engine()->registryCount - tables;
  if (registered) return registered;
  if (h.registryFingerprint && h.registryFingerprint != RegistryFingerprint(*slot)) return kErrInit;
  if (ErrCode e =
          FitAndLoadEngine(slot, in, h, EngineStateBytes(h, extensionBytes, in.recordBytes)))
    return e;

  KVContextBlock* block = *slot;
  if (!ReadAreas(block, in, h) ||
      LoadUndoBuffer(block->UndoArea(), h.undoHeadBytes, h.undoHeapUnits, in.read, in.argument))
    return kErrInit;
  CopyHeaderFields(block, h);
  ResetIdleStates(block);
  return kOk;
}

// What a failed load leaves: a block as new, with an empty engine.
void EmptyBlock(KVContextBlock* block) {
  block->extensionNames = nullptr;
  InitFirstInstance(block);
  ResetKVContextBlock(block, false);
  EngineContext* ctx = block->Engine();
  ClearEngineState(ctx);
  ResetEngine(ctx);
}

}  // namespace

ErrCode LoadImageSections(KVContextBlock** slot, const ImageInput& input,
                          ExtensionFolderFn extensions, uintptr_t extensionArgument) {
  const ErrCode e = LoadSections(slot, input, extensions, extensionArgument);
  if (e) EmptyBlock(*slot);
  return e;
}

}  // namespace vke
