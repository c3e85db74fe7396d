// Images that cannot be loaded: files without a sound frame, areas too small
// for the image when the block cannot grow, and crafted counts and contents
// that no sound image holds. Each gives its code, never a crash, and leaves
// the block as a new one with an empty engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/image.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "tests/app/handler_test_host.hpp"
#include "tests/app/image_parts.hpp"
#include "tests/host/engine_state.hpp"

namespace vke {
namespace {

using test::BlockHost;
using test::ElementListBuilder;
using test::HandlerTestHost;
using test::ImageParts;

using test::kX;

ImageParts SampleParts() {
  test::Application app;
  return test::SaveParts(app.block());
}

// The block is what a new one of its size is, and it works.
void ExpectEmptyBlock(BlockHost& h) {
  BlockHost fresh(h.size());
  KVContextBlock *b = h.block(), *f = fresh.block();
  EXPECT_EQ(b->instanceCount, 1);
  EXPECT_EQ(b->nextInstanceId, 1u);
  EXPECT_EQ(b->elementWords, 0u);
  EXPECT_EQ(b->savedWord, 0u);
  EXPECT_EQ(std::memcmp(InstanceRecordAt(b, 0), InstanceRecordAt(f, 0), kInstanceRecordBytes), 0);
  EXPECT_EQ(std::memcmp(b->NameArea(), f->NameArea(), NameBufferUsedBytes(f->NameArea())), 0);
  EXPECT_EQ(std::memcmp(b->UndoArea(), f->UndoArea(), 28), 0);
  EXPECT_TRUE(UndoBufferIsValid(b->UndoArea(), b->undoBytes));
  EXPECT_TRUE(ObjectListIsValid(b->DataArea(), (b->dataBytes - kInstanceRecordBytes) / 8));
  EngineContext *ctx = h.ctx(), *own = fresh.ctx();
  EXPECT_EQ(ctx->funcCount, 1u);
  EXPECT_EQ(ctx->nameStart, 0);
  EXPECT_EQ(ctx->descTop, own->descTop);
  EXPECT_EQ(ctx->dataTop, 0u);
  EXPECT_EQ(ctx->curFrame, 0);
  EXPECT_EQ(ctx->cpKind, kCodeNone);
  EXPECT_EQ(Load<uint32_t>(ctx->HeapBytes()), ctx->heapSize - 1);
  // A new image can be made and loaded.
  int32_t id = 0;
  EXPECT_EQ(CreateInstance(b, &id), kOk);
  std::vector<uint8_t> file;
  ASSERT_EQ(SaveImageBytes(b, "again", &file), kOk);
  EXPECT_EQ(test::LoadBytes(h.slot(), file), kOk);
  EXPECT_EQ(h.block()->instanceCount, 2);
}

// A change of the sample image and what it stands for.
struct Change {
  std::string what;
  std::function<void(ImageParts&)> change;
};

// Each changed image is refused with kErrInit and leaves an empty block.
void ExpectRefused(const ImageParts& good, const std::vector<Change>& changes) {
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    ImageParts parts = good;
    c.change(parts);
    BlockHost h;
    EXPECT_EQ(test::LoadParts(h.slot(), parts), kErrInit);
    ExpectEmptyBlock(h);
  }
}

// Files without a sound frame, and records missing or of another size than
// the header asks for.
TEST(ImageFailures, BrokenFramesAndRecords) {
  const ImageParts good = SampleParts();
  const std::vector<uint8_t> file = test::JoinImage(good);
  const size_t end = file.size() - 4;
  auto bytes = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> f = file;
    change(f);
    return f;
  };
  auto records = [&](const std::function<void(ImageParts&)>& change) {
    ImageParts p = good;
    change(p);
    return test::JoinImage(p);
  };
  using test::kRecElements, test::kRecEngineData, test::kRecUndoHeap;
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    ErrCode code;
  } cases[] = {
      {"shorter than a trailer", bytes([](auto& f) { f.resize(3); }), kErrEof},
      {"start behind the trailer", bytes([&](auto& f) { Store<uint32_t>(&f[end], end + 1); }),
       kErrEof},
      {"title up to the trailer, no NUL", bytes([&](auto& f) { Store<uint32_t>(&f[0], end - 4); }),
       kErrEof},
      {"title longer than 4 GB", bytes([](auto& f) { Store<uint32_t>(&f[0], 0xFFFFFFFF); }),
       kErrEof},
      {"a record's length beyond the trailer",
       bytes([](auto& f) { Store<uint32_t>(&f[6], 0x7FFFFFFF); }), kErrEof},
      {"last record's checksum broken", bytes([&](auto& f) { f[end - 1] ^= 1; }), kErrInit},
      {"no records", records([](ImageParts& p) { p.records.clear(); }), kErrEof},
      {"no extension length", records([](ImageParts& p) { p.records.resize(1); }), kErrEof},
      {"header a byte short", records([](ImageParts& p) { p.records[0].pop_back(); }), kErrEof},
      {"header a byte long", records([](ImageParts& p) { p.records[0].push_back(0); }), kErrEof},
      {"engine header missing", records([](ImageParts& p) { p.records.resize(2); }), kErrEof},
      {"engine part short", records([](ImageParts& p) { p.records[kRecEngineData].resize(8); }),
       kErrInit},
      {"element list a word long", records([](ImageParts& p) {
         p.records[kRecElements].resize(p.records[kRecElements].size() + 4);
       }),
       kErrInit},
      {"undo heap missing", records([](ImageParts& p) { p.records.resize(kRecUndoHeap); }),
       kErrInit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BlockHost h;
    EXPECT_EQ(test::LoadBytes(h.slot(), c.file), c.code);
    ExpectEmptyBlock(h);
  }
}

// A 200 KB block that may not grow: each area in turn too small. The name
// buffer gets no growth even when the block could grow.
TEST(ImageFailures, AreasTooSmallForTheImage) {
  constexpr uint32_t kSmall = 200u << 10;
  auto partsOf = [](const std::function<void(HandlerTestHost&)>& fill) {
    HandlerTestHost h({kX});
    fill(h);
    return test::SaveParts(h.block());
  };
  struct Case {
    const char* what;
    ImageParts parts;
    ErrCode code;
  };
  const Case cases[] = {
      {"KV data", partsOf([](HandlerTestHost& h) {
         int32_t id = 0;
         for (int i = 0; i < 7; i++) EXPECT_EQ(CreateInstance(h.block(), &id), kOk);
       }),
       kKvPlotOverflow},
      {"element list", partsOf([](HandlerTestHost& h) {
         ElementListBuilder list;
         list.Instance(0, "a.kv").Text(kElemHelp, std::string(8000, 'h'));
         EXPECT_EQ(h.Load(list), kOk);
       }),
       kKvNotEnoughMemForKVFile},
      {"name buffer", partsOf([](HandlerTestHost& h) {
         for (int32_t id = 200; id < 400; id++)
           EXPECT_EQ(AddNameSlot(h.block()->NameArea(), id, ("v" + std::to_string(id)).c_str(), 0),
                     kOk);
       }),
       kKvTooSmallNameBuf},
      {"undo buffer", partsOf([](HandlerTestHost& h) {
         EXPECT_EQ(h.SetText(kX, std::string(15000, 'u')), kOk);
         EXPECT_EQ(PushUndoVersion(h.block()->UndoArea(), 0), kOk);
         EXPECT_EQ(h.SetText(kX, std::string(15000, 'v')), kOk);
       }),
       kKvVarTooLargeForUndo},
      {"engine data stack", partsOf([](HandlerTestHost& h) {
         double* re = nullptr;
         EXPECT_EQ(PushNewMatrix(h.ctx(), 100, 40, &re, nullptr), kOk);
       }),
       kErrDataOverflow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockHost h(kSmall);
    h.SetMaxSize(kSmall);
    EXPECT_EQ(test::LoadParts(h.slot(), c.parts), c.code);
    ExpectEmptyBlock(h);
  }
  BlockHost growing(kSmall);
  EXPECT_EQ(test::LoadParts(growing.slot(), cases[2].parts), kKvTooSmallNameBuf);
  EXPECT_EQ(growing.growths(), 0);
}

// Counts that no sound image holds fail at once, before any growth, and
// never wrap around in 32 bits.
TEST(ImageFailures, CountsNoImageHolds) {
  const ImageParts good = SampleParts();
  struct Case {
    const char* what;
    std::function<void(ImageHeader&)> change;
  };
  const Case cases[] = {
      {"no instance", [](ImageHeader& h) { h.instanceCount = 0; }},
      {"negative instance count", [](ImageHeader& h) { h.instanceCount = -1; }},
      {"instances beyond the file", [](ImageHeader& h) { h.instanceCount = 0x7FFFFFFF; }},
      {"element words x 4 wraps", [](ImageHeader& h) { h.elementWords = 0x40000000; }},
      {"figure store beyond the file", [](ImageHeader& h) { h.dataUsed = 0xFFFFFFF0; }},
      {"name buffer without its header", [](ImageHeader& h) { h.nameUsed = 4; }},
      {"undo header below 36 bytes", [](ImageHeader& h) { h.undoHeadBytes = 20; }},
      {"undo header beyond the file", [](ImageHeader& h) { h.undoHeadBytes = 0xFFFFFFF8; }},
      {"no undo heap unit", [](ImageHeader& h) { h.undoHeapUnits = 0; }},
      {"undo heap x 8 wraps", [](ImageHeader& h) { h.undoHeapUnits = 0x20000000; }},
      {"undo sizes sum wraps", [](ImageHeader& h) { h.undoHeapUnits = 0xFFFFFFFF; }},
      {"made under another registry", [](ImageHeader& h) { h.registryFingerprint ^= 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImageParts parts = good;
    c.change(parts.header());
    BlockHost h;
    EXPECT_EQ(test::LoadParts(h.slot(), parts), kErrInit);
    EXPECT_EQ(h.growths(), 0);
    ExpectEmptyBlock(h);
  }
}

// Engine counts that no sound image holds, at their largest or beyond what
// the file can inflate to, are refused like the block's own: at once,
// before the block grows for the room they ask.
TEST(ImageFailures, EngineCountsNoImageHolds) {
  const ImageParts good = SampleParts();
  constexpr size_t kHeader = test::kRecEngineHeader;
  // descriptor words, data units, heap units, functions, code units, names
  const size_t counts[] = {0, 1, 2, 3, 4, 5};
  for (uint32_t value : {UINT32_MAX, 0x7FFFFFFFu, 1u << 24}) {
    for (size_t word : counts) {
      SCOPED_TRACE(testing::Message() << "word " << word << " = " << value);
      ImageParts parts = good;
      parts.SetWord(kHeader, word, value);
      BlockHost h;
      EXPECT_EQ(test::LoadParts(h.slot(), parts), kErrInit);
      EXPECT_EQ(h.growths(), 0);
      ExpectEmptyBlock(h);
    }
  }
  // The table's capacity (the header's last three bytes), at its largest.
  ImageParts parts = good;
  std::fill(parts.records[kHeader].end() - 3, parts.records[kHeader].end(), 0xFF);
  BlockHost h;
  EXPECT_EQ(test::LoadParts(h.slot(), parts), kErrInit);
  EXPECT_EQ(h.growths(), 0);
  ExpectEmptyBlock(h);
}

// Records of the right size whose contents no sound image holds.
TEST(ImageFailures, ContentsNoImageHolds) {
  const ImageParts good = SampleParts();
  using test::kRecElements, test::kRecInstances, test::kRecNames, test::kRecUndoHead,
      test::kRecUndoHeap;
  const std::vector<Change> cases = {
      {"element shorter than its head", [](ImageParts& p) { p.SetWord(kRecElements, 1, 1); }},
      {"title longer than its element",
       [](ImageParts& p) { p.SetWord(kRecElements, p.Word(kRecElements, 1) + 2, 4000); }},
      {"figure store that is no store",
       [](ImageParts& p) {
         p.header().dataUsed = 48;
         p.records[test::kRecStore].assign(48, 0xEE);
       }},
      {"more names than the record holds",
       [](ImageParts& p) { p.SetWord(kRecNames, 1, p.Word(kRecNames, 1) + 1); }},
      {"two instances with one id", [](ImageParts& p) { p.SetWord(kRecInstances, 0, 0); }},
      {"instance id not yet given",
       [](ImageParts& p) { p.SetWord(kRecInstances, 0, p.header().nextInstanceId); }},
      {"undo header and heap record disagree",
       [](ImageParts& p) { p.SetWord(kRecUndoHead, 4, p.Word(kRecUndoHead, 4) + 1); }},
      {"undo buffer larger than the area",
       [](ImageParts& p) { p.SetWord(kRecUndoHead, 0, 0xFFFFFFF0); }},
      {"undo heap block beyond its record",
       [](ImageParts& p) {
         // The last block, free and of no units, claims two more.
         p.SetWord(kRecUndoHeap, p.records[kRecUndoHeap].size() / 4 - 1, 2);
       }},
      {"undo value larger than its block",
       [](ImageParts& p) { Store<double>(p.records[kRecUndoHeap].data() + 16, 1e6); }},
      {"undo value with flags beyond 32 bits",
       [](ImageParts& p) { Store<double>(p.records[kRecUndoHeap].data() + 8, 3.7e19); }},
      {"undo value of negative columns",
       [](ImageParts& p) { Store<double>(p.records[kRecUndoHeap].data() + 24, -1); }},
      {"undo reference to no block",
       [](ImageParts& p) {
         // Behind the header, the set's head and its eight variable pairs.
         const uint32_t firstReference = 7 + 5 + 2 * 8;
         p.SetWord(kRecUndoHead, firstReference, 0x7FFFFFF0);
       }},
  };
  ExpectRefused(good, cases);
}

// Engine records whose offsets or frame words point where nothing sound
// lies: code positions of the function table and the words of the frames.
TEST(ImageFailures, EngineOffsetsNoImageHolds) {
  const ImageParts good = SampleParts();
  constexpr size_t kTable = test::kRecEngineHeader + 4, kFrames = test::kRecEngineHeader + 1;
  constexpr size_t kCurrentFrame = 6;          // engine header word
  constexpr size_t kFunctionCode = 4 * 1 + 2;  // entry 1, a compiled function
  constexpr size_t kLibraryCode = 4 * 3 + 2;   // entry 3, a library
  std::vector<Change> cases = {
      {"function code far beyond the code",
       [](ImageParts& p) { p.SetWord(kTable, kFunctionCode, 0x7FFFFFFF); }},
      {"function code inside the table",
       [](ImageParts& p) { p.SetWord(kTable, kFunctionCode, 1); }},
      {"function header running past the code",
       [&](ImageParts& p) { p.SetWord(kTable, kFunctionCode, p.Word(kTable, kLibraryCode) + 2); }},
      {"library block beyond the code",
       [](ImageParts& p) { p.SetWord(kTable, kLibraryCode, 0x40000000); }},
      {"frame variables beyond their slots",
       [](ImageParts& p) { p.SetWord(kFrames, kFwVarCount, 1000); }},
      {"frame function beyond the code",
       [](ImageParts& p) { p.SetWord(kFrames, kFwHeader, 0x7FFFFFF0); }},
      {"frame function beyond the data stack",
       [](ImageParts& p) { p.SetWord(kFrames, kFwHeader, 0x80000000); }},
      {"no base frame under the current one",
       [](ImageParts& p) { p.SetWord(kFrames, kFwReturnKind, 0); }},
  };
  // One bit flipped in the current-frame word, for every flip that still
  // lies inside the descriptor words.
  const uint32_t descWords = good.Word(test::kRecEngineHeader, 0);
  for (uint32_t bit = 0; (1u << bit) < descWords; bit++)
    cases.push_back({"current frame at word " + std::to_string(1u << bit), [bit](ImageParts& p) {
                       p.SetWord(test::kRecEngineHeader, kCurrentFrame, 1u << bit);
                     }});
  ExpectRefused(good, cases);
}

// A set area wider than the moved buffer gives would let the heap move over
// the sets: the undo buffer grows first, 10009 when it cannot.
TEST(ImageFailures, SetAreaWiderThanTheMovedBuffer) {
  ImageParts parts = SampleParts();
  BlockHost probe;
  const uint32_t capacity = (probe.block()->undoBytes - 36) / 32;
  std::vector<uint8_t>& head = parts.records[test::kRecUndoHead];
  head.resize(36 + 4 * (capacity + 1), 0);
  parts.header().undoHeadBytes = static_cast<uint32_t>(head.size());
  BlockHost fixed;
  fixed.SetMaxSize(fixed.size());
  EXPECT_EQ(test::LoadParts(fixed.slot(), parts), kKvVarTooLargeForUndo);
  ExpectEmptyBlock(fixed);
  BlockHost growing;
  EXPECT_EQ(test::LoadParts(growing.slot(), parts), kOk);
  EXPECT_EQ(growing.growths(), 1);
}

}  // namespace
}  // namespace vke
