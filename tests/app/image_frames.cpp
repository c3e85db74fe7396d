#include "tests/app/image_frames.hpp"

#include <zlib.h>

namespace vke::test {

namespace {

void AppendWord(std::vector<uint8_t>* bytes, uint32_t value) {
  uint8_t word[4];
  Store<uint32_t>(word, value);
  bytes->insert(bytes->end(), word, word + 4);
}

// Inflates one zlib stream whose size is not known.
bool Inflate(const uint8_t* packed, size_t length, size_t limit, std::vector<uint8_t>* out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = static_cast<uInt>(length);
  int rc = Z_OK;
  while (rc == Z_OK && out->size() <= limit) {
    uint8_t chunk[16384];
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    out->insert(out->end(), chunk, chunk + (sizeof chunk - z.avail_out));
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END && out->size() <= limit;
}

}  // namespace

uint32_t ImageParts::Word(size_t record, size_t i) const {
  return Load<uint32_t>(records[record].data() + 4 * i);
}

void ImageParts::SetWord(size_t record, size_t i, uint32_t value) {
  Store<uint32_t>(records[record].data() + 4 * i, value);
}

bool SplitImage(const uint8_t* file, size_t size, ImageParts* parts, size_t maxRecordBytes) {
  *parts = {};
  if (size < 4) return false;
  const uint64_t end = size - 4;
  const uint64_t start = Load<uint32_t>(file + end);
  if (start + 5 > end) return false;
  const uint64_t n = Load<uint32_t>(file + start);
  if (n > end - start - 5 || file[start + 4 + n] != 0) return false;
  parts->prefix.assign(file, file + start);
  parts->title.assign(file + start + 4, file + start + 4 + n);
  for (uint64_t at = start + 5 + n; at < end;) {
    if (end - at < 4) return false;
    const uint64_t length = Load<uint32_t>(file + at);
    if (length > end - at - 4) return false;
    parts->records.emplace_back();
    if (!Inflate(file + at + 4, length, maxRecordBytes, &parts->records.back())) return false;
    at += 4 + length;
  }
  return true;
}

std::vector<uint8_t> PackRecords(const std::vector<std::vector<uint8_t>>& records) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  ImageStream stream{f, 0};
  for (const auto& r : records)
    WriteCompressedRecord(r.data(), static_cast<uint32_t>(r.size()),
                          reinterpret_cast<uintptr_t>(&stream));
  fclose(f);
  std::vector<uint8_t> packed(buffer, buffer + size);
  free(buffer);
  return packed;
}

std::vector<uint8_t> JoinImage(const ImageParts& parts) {
  std::vector<uint8_t> file = parts.prefix;
  AppendWord(&file, static_cast<uint32_t>(parts.title.size()));
  file.insert(file.end(), parts.title.begin(), parts.title.end());
  file.push_back(0);
  const std::vector<uint8_t> packed = PackRecords(parts.records);
  file.insert(file.end(), packed.begin(), packed.end());
  AppendWord(&file, static_cast<uint32_t>(parts.prefix.size()));
  return file;
}

}  // namespace vke::test
