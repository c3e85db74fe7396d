// Writing the records of an image from a block, in the order and with the
// sizes the loader reads them.
#include <cstring>

#include "app/image.hpp"
#include "app/image_undo.hpp"
#include "app/name_buffer.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

// The fields saved straight from the block header field of the same name.
#define VKE_SAVE_Block(name) h->name = block->name;
#define VKE_SAVE_Beside(name)
#define VKE_SAVE_Zero(name)

void FillHeader(KVContextBlock* block, const UndoImage& undo, ImageHeader* h) {
  std::memset(h, 0, sizeof *h);
#define VKE_IMAGE_FIELD(type, name, offset, copy, meaning) VKE_SAVE_##copy(name)
#include "app/image_header.def"
#undef VKE_IMAGE_FIELD
  h->dataUsed = 0;
  h->instanceCount = block->instanceCount;
  h->elementWords = block->elementWords;
  h->nameUsed = NameBufferUsedBytes(block->NameArea());
  h->undoCapacity = undo.capacity;
  h->undoHeadBytes = static_cast<uint32_t>(undo.head.size());
  h->undoHeapUnits = static_cast<uint32_t>(undo.heap.size() / 8);
  h->registryFingerprint = RegistryFingerprint(block);
}

#undef VKE_SAVE_Block
#undef VKE_SAVE_Beside
#undef VKE_SAVE_Zero

}  // namespace

ErrCode SaveImageSections(KVContextBlock* block, ImageWriteFn writer, uintptr_t argument) {
  UndoImage undo;
  MakeUndoImage(block->UndoArea(), &undo);
  ImageHeader h;
  FillHeader(block, undo, &h);
  const char* names = block->extensionNames ? block->extensionNames : "";
  const auto namesLength = static_cast<uint32_t>(std::strlen(names));
  if (!writer(&h, sizeof h, argument) || !writer(&namesLength, 4, argument) ||
      (namesLength && !writer(names, namesLength, argument)))
    return kErrIoErr;
  if (ErrCode e = SaveEngineImage(block->Engine(), writer, argument)) return e;

  const uint32_t records = static_cast<uint32_t>(block->instanceCount) * kInstanceRecordBytes;
  const bool ok = writer(block->DataArea(), h.dataUsed, argument) &&
                  writer(block->ElementArea() - records, records, argument) &&
                  writer(block->ElementArea(), 4 * h.elementWords, argument) &&
                  writer(block->NameArea(), h.nameUsed, argument) &&
                  writer(undo.head.data(), h.undoHeadBytes, argument) &&
                  writer(undo.heap.data(), 8 * h.undoHeapUnits, argument);
  return ok ? kOk : kErrIoErr;
}

}  // namespace vke
