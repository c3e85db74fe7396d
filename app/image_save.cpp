// Writing the records of an image from a block, in the order and with the
// sizes the loader reads them.
#include <cstring>

#include "app/image.hpp"
#include "app/image_undo.hpp"
#include "app/name_buffer.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

void FillHeader(KVContextBlock* block, const UndoImage& undo, ImageHeader* h) {
  std::memset(h, 0, sizeof *h);
  h->dataUsed = 0;
  h->instanceCount = block->instanceCount;
  h->elementWords = block->elementWords;
  h->nameUsed = NameBufferUsedBytes(block->NameArea());
  h->undoCapacity = undo.capacity;
  h->undoHeadBytes = static_cast<uint32_t>(undo.head.size());
  h->undoHeapUnits = static_cast<uint32_t>(undo.heap.size() / 8);
  h->registryFingerprint = RegistryFingerprint(block);
  h->savedWord = block->savedWord;
  h->nextInstanceId = block->nextInstanceId;
  h->defaultInstanceFlag = block->defaultInstanceFlag;
  h->figureMode = block->figureMode;
  h->styleA = block->styleA;
  h->styleB = block->styleB;
  h->imageFlag = block->imageFlag;
  h->savedByte = block->savedByte;
}

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
