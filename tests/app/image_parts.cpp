#include "tests/app/image_parts.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "tests/app/element_list_builder.hpp"
#include "tests/host/engine_state.hpp"

namespace vke::test {

namespace {

constexpr const char* kExecutable = "/opt/app/runtime";

}  // namespace

Application::Application(uint32_t size, HostTables tables)
    : HandlerTestHost({kX, kY}, size, tables) {
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
  b->savedWord = 7;
  b->figureMode = 3;
  b->styleA = {5, 0x123456};
  b->imageFlag = 0;
  b->savedByte = 9;
  b->defaultInstanceFlag = 1;
  test::FillSampleState(ctx());
}

ImageParts SplitImage(const std::vector<uint8_t>& file) {
  ImageParts parts;
  EXPECT_TRUE(SplitImage(file.data(), file.size(), &parts));
  return parts;
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
