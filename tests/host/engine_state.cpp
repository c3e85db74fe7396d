#include "tests/host/engine_state.hpp"

#include <gtest/gtest.h>

#include "engine/code/names.hpp"
#include "engine/engine.hpp"
#include "engine/frames/frames.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

bool MemoryImage::Write(const void* source, uint32_t count, uintptr_t self) {
  auto* image = reinterpret_cast<MemoryImage*>(self);
  const auto* bytes = static_cast<const uint8_t*>(source);
  image->records.emplace_back(bytes, bytes + count);
  return true;
}

bool MemoryImage::Read(void* destination, uint32_t count, uintptr_t self) {
  auto* image = reinterpret_cast<MemoryImage*>(self);
  if (image->next >= image->records.size()) return false;
  const std::vector<uint8_t>& r = image->records[image->next++];
  if (r.size() != count) return false;
  if (count) std::memcpy(destination, r.data(), count);
  return true;
}

MemoryImage SaveToMemory(EngineContext* ctx) {
  MemoryImage image;
  EXPECT_EQ(SaveEngineImage(ctx, &MemoryImage::Write, image.arg()), kOk);
  return image;
}

ErrCode LoadFromMemory(EngineContext* ctx, MemoryImage& image) {
  image.next = 0;
  return LoadEngineImage(ctx, &MemoryImage::Read, image.arg());
}

MovableArea::MovableArea(EngineContext* from, uint32_t bytes)
    : bytes_(bytes), mem_(std::aligned_alloc(16, (bytes + 15) & ~15u), &std::free) {
  MakeContextRelative(from);
  std::memcpy(mem_.get(), from, bytes);
  MakeContextAbsolute(ctx(), 0, 0);
}

void MovableArea::Grow(uint32_t newBytes, int32_t mode) {
  MakeContextRelative(ctx());
  std::unique_ptr<void, decltype(&std::free)> grown(std::aligned_alloc(16, (newBytes + 15) & ~15u),
                                                    &std::free);
  std::memset(grown.get(), 0xCD, newBytes);
  std::memcpy(grown.get(), mem_.get(), bytes_ < newBytes ? bytes_ : newBytes);
  mem_ = std::move(grown);
  bytes_ = newBytes;
  MakeContextAbsolute(ctx(), newBytes, mode);
}

namespace {

// A compiled function: no names, one variable, then its code.
constexpr uint16_t kCodeF[] = {0x0008, 0x0001, 0x0000, 0x0000, 0x0105, 0x0106, 0x0107, 0x0108};
constexpr uint16_t kCodeLib[] = {0x0201, 0x0202, 0x0203, 0x0204};
constexpr uint8_t kHostMarker = 0x5A;

// A variable block {descriptor, 0, data} holding a 1 x n row.
int32_t StoreRow(EngineContext* ctx, std::initializer_list<double> values) {
  int32_t block = 0;
  auto n = static_cast<uint32_t>(values.size());
  EXPECT_EQ(AllocEngineBlock(ctx, n + 2, &block), kOk);
  uint8_t* d = BlockData(ctx, block);
  Store<ValueDescriptor>(d, ValueDescriptor{0, n, static_cast<int32_t>(n)});
  Store<uint32_t>(d + 12, 0);
  int i = 0;
  for (double v : values) Store<double>(d + 16 + 8 * i++, v);
  return block;
}

void ExpectRow(EngineContext* ctx, int32_t block, std::initializer_list<double> values) {
  ASSERT_GT(block, 0);
  const uint8_t* d = BlockData(ctx, block);
  auto desc = Load<ValueDescriptor>(d);
  EXPECT_EQ(desc.size, values.size());
  int i = 0;
  for (double v : values) EXPECT_EQ(Load<double>(d + 16 + 8 * i++), v);
}

int32_t Intern(EngineContext* ctx, const char* name) {
  int32_t id = 0;
  EXPECT_EQ(InternName(ctx, name, static_cast<int32_t>(std::strlen(name)), 32, &id), kOk);
  return id;
}

std::string Name(EngineContext* ctx, int32_t id) {
  int32_t n = 0;
  const char* text = NameText(ctx, id, &n);
  return text ? std::string(text, n) : std::string("(no name)");
}

// Appends code units behind the code end; returns their position.
template <size_t N>
uint32_t EmitCode(EngineContext* ctx, const uint16_t (&units)[N]) {
  uint32_t at = ctx->codeEnd;
  for (size_t i = 0; i < N; i++) Store<uint16_t>(ctx->CodeBytes() + 2 * (at + i), units[i]);
  ctx->codeEnd += N;
  return at;
}

template <size_t N>
void ExpectCode(EngineContext* ctx, uint32_t at, const uint16_t (&units)[N]) {
  ASSERT_LE(at + N, ctx->codeEnd);
  for (size_t i = 0; i < N; i++)
    EXPECT_EQ(Load<uint16_t>(ctx->CodeBytes() + 2 * (at + i)), units[i]);
}

uint8_t* Entry(EngineContext* ctx, uint32_t i) {
  return ctx->CodeBytes() + 16 * i;
}
void SetEntry(EngineContext* ctx, uint32_t i, int32_t w0, int32_t w1, int32_t w2, int32_t w3) {
  int32_t w[4] = {w0, w1, w2, w3};
  std::memcpy(Entry(ctx, i), w, 16);
}
int32_t EntryWord(EngineContext* ctx, uint32_t i, int w) {
  return Load<int32_t>(Entry(ctx, i) + 4 * w);
}

char* SlotName(EngineContext* ctx, int slot) {
  uint32_t* f = ctx->DescWords();
  return reinterpret_cast<char*>(f + kFrameHeaderWords + kBaseFrameNames) + kFrameNameBytes * slot;
}

InterpThreadRecord& Record(EngineContext* ctx, uint32_t block) {
  return block ? *reinterpret_cast<InterpThreadRecord*>(BlockData(ctx, static_cast<int32_t>(block)))
               : ctx->mainThread;
}

}  // namespace

void FillSampleState(EngineContext* ctx) {
  ASSERT_EQ(ctx->curFrame, 0);
  // Values above the base frame.
  ASSERT_EQ(PushRealScalar(ctx, 42.5), kOk);
  ASSERT_EQ(PushCString(ctx, 5, "hello"), kOk);
  double* re = nullptr;
  ASSERT_EQ(PushNewMatrix(ctx, 2, 3, &re, nullptr), kOk);
  for (int i = 0; i < 6; i++) re[i] = i + 1;
  ASSERT_EQ(PushComplexScalar(ctx, 3, -4), kOk);

  // Variables of the base frame, with a freed block between them.
  uint32_t* f = ctx->DescWords();
  f[kFrameHeaderWords + 0] = static_cast<uint32_t>(StoreRow(ctx, {7}));
  int32_t hole = StoreRow(ctx, {0, 0, 0});
  f[kFrameHeaderWords + 1] = static_cast<uint32_t>(StoreRow(ctx, {10, 20}));
  FreeEngineBlock(ctx, hole);
  f[kFwVarCount] = 2;
  std::memcpy(SlotName(ctx, 1), "x", 2);

  // Function table: f (compiled), the global g, the library mylib.
  ASSERT_GE(ctx->funcCap, 4u);
  uint32_t posF = EmitCode(ctx, kCodeF);
  uint32_t posLib = EmitCode(ctx, kCodeLib);
  SetEntry(ctx, 1, Intern(ctx, "f"), 0, static_cast<int32_t>(posF), 0);
  SetEntry(ctx, 2, 1, Intern(ctx, "g"), StoreRow(ctx, {99}), -1);
  SetEntry(ctx, 3, 0, Intern(ctx, "mylib"), static_cast<int32_t>(posLib), 0);
  ctx->funcCount = 4;

  // A free block left at the end of the heap.
  FreeEngineBlock(ctx, StoreRow(ctx, {1, 2, 3, 4}));
  SetDisplayOptions(ctx, 'e', 7, 'i', 1, 30, 1);
}

void ExpectSampleState(EngineContext* ctx) {
  ASSERT_EQ(ctx->curFrame, 0);
  ASSERT_EQ(GetFrameEntryCount(ctx), 4);
  double re = 0, im = 0;
  ASSERT_EQ(PopComplexScalar(ctx, &re, &im), kOk);
  EXPECT_EQ(re, 3);
  EXPECT_EQ(im, -4);
  NumericView m = ViewNumeric(ctx, 0);
  EXPECT_EQ(m.shape.dims[0], 2);
  EXPECT_EQ(m.shape.dims[1], 3);
  for (int i = 0; i < 6; i++) EXPECT_EQ(Load<double>(m.elements + 8 * i), i + 1);
  EXPECT_EQ(TopString(ctx, 1), "hello");
  EXPECT_EQ(TopScalar(ctx, 2), 42.5);
  ASSERT_EQ(PushComplexScalar(ctx, 3, -4), kOk);  // as it was

  uint32_t* f = ctx->DescWords();
  EXPECT_EQ(f[kFwVarCount], 2u);
  EXPECT_STREQ(SlotName(ctx, 0), "ans");
  EXPECT_STREQ(SlotName(ctx, 1), "x");
  ExpectRow(ctx, static_cast<int32_t>(f[kFrameHeaderWords]), {7});
  ExpectRow(ctx, static_cast<int32_t>(f[kFrameHeaderWords + 1]), {10, 20});

  ASSERT_EQ(ctx->funcCount, 4u);
  EXPECT_EQ(Name(ctx, EntryWord(ctx, 1, 0)), "f");
  ExpectCode(ctx, static_cast<uint32_t>(EntryWord(ctx, 1, 2)), kCodeF);
  EXPECT_EQ(EntryWord(ctx, 2, 0), 1);
  EXPECT_EQ(Name(ctx, EntryWord(ctx, 2, 1)), "g");
  ExpectRow(ctx, EntryWord(ctx, 2, 2), {99});
  EXPECT_EQ(EntryWord(ctx, 3, 0), 0);
  EXPECT_EQ(Name(ctx, EntryWord(ctx, 3, 1)), "mylib");
  ExpectCode(ctx, static_cast<uint32_t>(EntryWord(ctx, 3, 2)), kCodeLib);
  EXPECT_EQ(FindName(ctx, "mylib", 5), EntryWord(ctx, 3, 1));

  EXPECT_EQ(ctx->formatLetter, 'e');
  EXPECT_EQ(ctx->displayDigits, 7);
  EXPECT_EQ(ctx->imagLetter, 'i');
  EXPECT_EQ(ctx->looseSpacing, 1);
  EXPECT_EQ(ctx->displayWord, 30);
  EXPECT_EQ(ctx->displayOnOff, 0);  // on
}

uint32_t AddSampleThread(EngineContext* ctx) {
  const uint32_t space = 1024, hostBytes = 8;
  int32_t block = 0;
  EXPECT_EQ(AllocEngineBlock(ctx, (space + 160) / 8 + 1, &block), kOk);
  auto index = static_cast<uint32_t>(block);
  const uint32_t begin = ctx->heapBase + 8 * index;
  InterpThreadRecord& t = Record(ctx, index);
  std::memset(&t, 0, sizeof t);
  t.hostAreaOffset = begin + 160;
  t.dataBase = begin + 160 + hostBytes;
  t.dataCap = (space / 2 - hostBytes) / 8;
  t.descBase = begin + 160 + space / 2;
  t.descCap = space / 2 / 4;
  t.curFrame = -1;
  t.wakeTime = -1;
  t.threadId = ctx->nextThreadId++;
  t.nextThread = ctx->firstThread;
  ctx->firstThread = index;
  std::memset(ctx->Bytes() + t.hostAreaOffset, kHostMarker, hostBytes);

  const uint32_t current = ctx->currentThread;
  ExchangeLiveThreadFields(ctx, index);
  EXPECT_EQ(PushRealScalar(ctx, 3.25), kOk);
  EXPECT_EQ(PushCString(ctx, 6, "thread"), kOk);
  ExchangeLiveThreadFields(ctx, current);
  return index;
}

void ExpectSampleThread(EngineContext* ctx, uint32_t block) {
  ASSERT_EQ(ctx->firstThread, block);
  const uint32_t current = ctx->currentThread;
  if (current != block) ExchangeLiveThreadFields(ctx, block);
  EXPECT_EQ(TopString(ctx, 0), "thread");
  EXPECT_EQ(TopScalar(ctx, 1), 3.25);
  if (current != block) ExchangeLiveThreadFields(ctx, current);
  const InterpThreadRecord& t = Record(ctx, block);
  const uint32_t begin = ctx->heapBase + 8 * block;
  EXPECT_EQ(t.hostAreaOffset, begin + 160);
  EXPECT_EQ(ctx->Bytes()[t.hostAreaOffset], kHostMarker);
}

}  // namespace vke::test
