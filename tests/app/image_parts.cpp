#include "tests/app/image_parts.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "tests/app/element_list_builder.hpp"
#include "tests/host/engine_state.hpp"

namespace vke::test {

namespace {

constexpr const char* kExecutable = "/opt/app/runtime";

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t at) {
  return Load<uint32_t>(bytes.data() + at);
}

void AppendWord(std::vector<uint8_t>* bytes, uint32_t value) {
  uint8_t word[4];
  Store<uint32_t>(word, value);
  bytes->insert(bytes->end(), word, word + 4);
}

// Inflates one zlib stream of unknown size.
std::vector<uint8_t> Inflate(const uint8_t* packed, size_t length) {
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = static_cast<uInt>(length);
  std::vector<uint8_t> out;
  int rc = Z_OK;
  while (rc == Z_OK) {
    uint8_t chunk[16384];
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
  }
  EXPECT_EQ(rc, Z_STREAM_END);
  inflateEnd(&z);
  return out;
}

// The records as written by the image writer, each with its length word.
std::vector<uint8_t> PackRecords(const std::vector<std::vector<uint8_t>>& records) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buffer, &size);
  ImageStream stream{f, 0};
  for (const auto& r : records)
    EXPECT_TRUE(WriteCompressedRecord(r.data(), static_cast<uint32_t>(r.size()),
                                      reinterpret_cast<uintptr_t>(&stream)));
  fclose(f);
  std::vector<uint8_t> packed(buffer, buffer + size);
  free(buffer);
  return packed;
}

}  // namespace

Application::Application(uint32_t size) : HandlerTestHost({kX, kY}, size) {
  KVContextBlock* b = block();
  ElementListBuilder list;
  list.Instance(0, "demo.kv", 3)
      .Text(kElemTitle, "Demo")
      .Handler(kElemInit, {kSetup, {kX}, {}})
      .Instance(1, "other.kv")
      .Text(kElemTitle, "Other");
  EXPECT_EQ(Load(list), kOk);
  int32_t id = 0;
  EXPECT_EQ(CreateInstance(b, &id), kOk);
  EXPECT_EQ(AddNameSlot(b->NameArea(), kX, "x", 0), kOk);
  EXPECT_EQ(AddNameSlot(b->NameArea(), kY, "y", 0), kOk);
  EXPECT_EQ(AddNameSlot(b->NameArea(), kSetup, "setup", 0), kOk);
  EXPECT_EQ(SetScalar(kX, 1.5), kOk);
  EXPECT_EQ(SetText(kY, "hello"), kOk);
  EXPECT_EQ(PushUndoVersion(b->UndoArea(), 0), kOk);
  EXPECT_EQ(SetText(kY, "replaced"), kOk);
  EXPECT_EQ(SetText(kY, "a longer text"), kOk);
  EXPECT_EQ(PushUndoVersion(b->UndoArea(), 0), kOk);
  EXPECT_EQ(SetScalar(kX, 2.5), kOk);
  b->imageWord = 7;
  b->figureMode = 3;
  b->styleA = {5, 0x123456};
  b->imageFlag = 0;
  b->imageByte = 9;
  b->defaultInstanceFlag = 1;
  test::FillSampleState(ctx());
}

uint32_t ImageParts::Word(size_t record, size_t i) const {
  return Load<uint32_t>(records[record].data() + 4 * i);
}

void ImageParts::SetWord(size_t record, size_t i, uint32_t value) {
  Store<uint32_t>(records[record].data() + 4 * i, value);
}

ImageParts SplitImage(const std::vector<uint8_t>& file) {
  ImageParts parts;
  EXPECT_GE(file.size(), 9u);
  const size_t end = file.size() - 4;
  const size_t start = WordAt(file, end);
  parts.prefix.assign(file.begin(), file.begin() + start);
  const uint32_t n = WordAt(file, start);
  parts.title.assign(file.begin() + start + 4, file.begin() + start + 4 + n);
  EXPECT_EQ(file[start + 4 + n], 0);
  for (size_t at = start + 5 + n; at < end;) {
    const uint32_t length = WordAt(file, at);
    parts.records.push_back(Inflate(file.data() + at + 4, length));
    at += 4 + length;
  }
  return parts;
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

ImageParts SaveParts(KVContextBlock* block, const std::string& title) {
  std::vector<uint8_t> file;
  EXPECT_EQ(SaveImageBytes(block, title, &file), kOk);
  return SplitImage(file);
}

ErrCode LoadBytes(KVContextBlock** slot, const std::vector<uint8_t>& file, std::string* title) {
  return LoadImageBytes(slot, file.data(), file.size(), kExecutable, title);
}

ErrCode LoadParts(KVContextBlock** slot, const ImageParts& parts) {
  return LoadBytes(slot, JoinImage(parts));
}

ErrCode LoadRecords(KVContextBlock** slot, const ImageParts& parts, bool positioner,
                    ExtensionFolderFn extensions, uintptr_t argument) {
  std::vector<uint8_t> packed = PackRecords(parts.records);
  FILE* f = fmemopen(packed.data(), packed.size(), "rb");
  ImageStream stream{f, packed.size()};
  const ImageInput input{&ReadCompressedRecord, positioner ? &TellOrSeekImage : nullptr,
                         reinterpret_cast<uintptr_t>(&stream), packed.size()};
  const ErrCode e = LoadImageSections(slot, input, extensions, argument);
  fclose(f);
  return e;
}

}  // namespace vke::test
