// The records of an image file: a length and one zlib stream each, read with
// zlib's uncompress into a destination of the size the reader knows, and
// written with compress2; and the positioner that lets the loader read the
// engine's records again.
#include <zlib.h>

#include "app/image.hpp"

namespace vke {

namespace {

ImageStream* StreamOf(uintptr_t stream) {
  return reinterpret_cast<ImageStream*>(stream);
}

}  // namespace

bool ReadCompressedRecord(void* destination, uint32_t size, uintptr_t stream) {
  ImageStream* s = StreamOf(stream);
  uint8_t word[4];
  const off_t at = ftello(s->file);
  if (at < 0 || fread(word, 1, 4, s->file) != 4) return false;
  const uint32_t length = Load<uint32_t>(word);
  // A length beyond the records is never allocated.
  if (static_cast<uint64_t>(at) + 4 + length > s->end) return false;
  std::vector<uint8_t> packed(length);
  if (fread(packed.data(), 1, length, s->file) != length) return false;
  uLongf inflated = size;
  return uncompress(static_cast<Bytef*>(destination), &inflated, packed.data(), length) == Z_OK &&
         inflated == size;
}

bool WriteCompressedRecord(const void* source, uint32_t size, uintptr_t stream) {
  ImageStream* s = StreamOf(stream);
  uLongf length = compressBound(size);
  std::vector<uint8_t> packed(length);
  if (compress2(packed.data(), &length, static_cast<const Bytef*>(source), size,
                Z_BEST_COMPRESSION) != Z_OK)
    return false;
  uint8_t word[4];
  Store<uint32_t>(word, static_cast<uint32_t>(length));
  return fwrite(word, 1, 4, s->file) == 4 && fwrite(packed.data(), 1, length, s->file) == length;
}

bool TellOrSeekImage(int32_t mode, int64_t* saved, uintptr_t stream) {
  FILE* file = StreamOf(stream)->file;
  if (mode == 0)
    *saved = ftello(file);
  else
    fseeko(file, *saved, SEEK_SET);
  return true;
}

}  // namespace vke
