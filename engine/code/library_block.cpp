// Library blocks in the code area: the folder of a library's source and the
// use list of the libraries it uses.
//
// Layout in 16-bit words: offset of the use list, its capacity, the folder
// length n, the folder's n bytes packed two to a word (first byte low), then
// the use list: name ids, unused places 0xFFFF.
#include <algorithm>

#include "engine/code/function_table.hpp"
#include "engine/errors/errors.hpp"

namespace vke {

namespace {

constexpr uint16_t kUnusedPlace = 0xFFFF;
constexpr int32_t kBlockHeaderWords = 3;
constexpr int32_t kMaxCapacity = 0x7FFF;
constexpr int32_t kMaxFolderBytes = 0x7FFF;

struct LibraryBlock {
  uint16_t* words = nullptr;
  int32_t listOffset = 0;
  int32_t capacity = 0;
  uint16_t* List() const { return words + listOffset; }
  int32_t Count() const {
    int32_t n = 0;
    while (n < capacity && List()[n] != kUnusedPlace) n++;
    return n;
  }
};

int32_t ListOffset(int32_t folderBytes) {
  return kBlockHeaderWords + (folderBytes + 1) / 2;
}

// The block of a library entry; false when it has none or it is damaged.
bool OpenBlock(EngineContext* ctx, int32_t entry, LibraryBlock* b) {
  FunctionTableEntry* e = GetLibraryEntry(ctx, entry);
  if (!e || e->code <= 0 || static_cast<uint32_t>(e->code) + kBlockHeaderWords > ctx->codeEnd)
    return false;
  uint16_t* w = reinterpret_cast<uint16_t*>(ctx->CodeBytes()) + e->code;
  if (w[0] != ListOffset(w[2]) || e->code + int64_t{w[0]} + w[1] > ctx->codeEnd) return false;
  *b = {w, w[0], w[1]};
  return true;
}

// Capacity of a new list for count ids.
int32_t InitialCapacity(int32_t count) {
  return count < 16 ? count + 16 : count * 2;
}

ErrCode CreateBlock(EngineContext* ctx, int32_t entry, const char* path, int32_t pathLength,
                    int32_t count) {
  int32_t folder = 0;
  for (int32_t i = 0; i < pathLength; i++)
    if (path[i] == '/' || path[i] == '\\') folder = i + 1;
  if (folder > kMaxFolderBytes || count > kMaxCapacity) return kErrBadArg;
  int32_t capacity = InitialCapacity(count);
  if (capacity > kMaxCapacity) capacity = kMaxCapacity;
  int32_t offset = ListOffset(folder);
  int32_t position;
  if (ErrCode e = ReserveCodeBlock(ctx, offset + capacity, &position)) return e;
  uint16_t* w = reinterpret_cast<uint16_t*>(ctx->CodeBytes()) + position;
  w[0] = static_cast<uint16_t>(offset);
  w[1] = static_cast<uint16_t>(capacity);
  w[2] = static_cast<uint16_t>(folder);
  w[offset - 1] = 0;  // the pad byte of an odd-length folder
  std::memcpy(w + kBlockHeaderWords, path, folder);
  std::fill(w + offset, w + offset + capacity, kUnusedPlace);
  GetLibraryEntry(ctx, entry)->code = position;
  return kOk;
}

// Doubles the list's capacity, in place when the block is the last code,
// else by copying it to the fill position.
ErrCode GrowBlock(EngineContext* ctx, int32_t entry, LibraryBlock* b) {
  if (b->capacity >= kMaxCapacity) return kErrCodeOverflow;
  int32_t capacity = b->capacity * 2 > kMaxCapacity ? kMaxCapacity : b->capacity * 2;
  FunctionTableEntry* e = GetLibraryEntry(ctx, entry);
  int32_t oldWords = b->listOffset + b->capacity;
  int32_t newWords = b->listOffset + capacity;
  uint32_t oldEnd = (static_cast<uint32_t>(e->code + oldWords) + kCodeBlockAlign - 1) /
                    kCodeBlockAlign * kCodeBlockAlign;
  int32_t position;
  if (oldEnd == ctx->codeEnd) {
    ctx->codeEnd = static_cast<uint32_t>(e->code);
    if (ErrCode err = ReserveCodeBlock(ctx, newWords, &position)) {
      ctx->codeEnd = oldEnd;
      return err;
    }
  } else {
    if (ErrCode err = ReserveCodeBlock(ctx, newWords, &position)) return err;
    uint16_t* base = reinterpret_cast<uint16_t*>(ctx->CodeBytes());
    std::memcpy(base + position, base + e->code, 2ull * oldWords);
    e->code = position;
  }
  uint16_t* w = reinterpret_cast<uint16_t*>(ctx->CodeBytes()) + position;
  w[1] = static_cast<uint16_t>(capacity);
  std::fill(w + oldWords, w + newWords, kUnusedPlace);
  *b = {w, b->listOffset, capacity};
  return kOk;
}

}  // namespace

ErrCode SetLibraryUseList(EngineContext* ctx, int32_t entry, const int16_t* ids, int32_t count,
                          const char* sourcePath, int32_t pathLength) {
  if (!GetLibraryEntry(ctx, entry) || count < 0) return kErrBadArg;
  LibraryBlock b;
  if (!OpenBlock(ctx, entry, &b)) {
    if (!sourcePath && count == 0) return kOk;
    ErrCode e = CreateBlock(ctx, entry, sourcePath, sourcePath ? pathLength : 0, count);
    if (e) return e;
    OpenBlock(ctx, entry, &b);
  }
  for (int32_t k = 0; k < count; k++) {
    uint16_t id = static_cast<uint16_t>(ids[k]);
    if (id == kUnusedPlace) continue;
    int32_t n = b.Count();
    uint16_t* list = b.List();
    uint16_t* listed = std::find(list, list + n, id);
    if (listed != list + n) {
      std::rotate(listed, listed + 1, list + n);
      continue;
    }
    if (n == b.capacity)
      if (ErrCode e = GrowBlock(ctx, entry, &b)) return e;
    b.List()[n] = id;
  }
  return kOk;
}

bool IsLibraryInUseList(EngineContext* ctx, int32_t libraryId, int32_t entry) {
  int32_t n;
  const uint16_t* list = GetLibraryUseList(ctx, entry, &n);
  return list && libraryId < 0 && libraryId >= -kMaxCapacity &&
         std::find(list, list + n, static_cast<uint16_t>(libraryId)) != list + n;
}

const uint16_t* GetLibraryUseList(EngineContext* ctx, int32_t entry, int32_t* count) {
  LibraryBlock b;
  *count = OpenBlock(ctx, entry, &b) ? b.Count() : 0;
  return *count ? b.List() : nullptr;
}

const char* GetLibraryFolder(EngineContext* ctx, int32_t entry, int32_t* length) {
  LibraryBlock b;
  *length = OpenBlock(ctx, entry, &b) ? b.words[2] : 0;
  return *length ? reinterpret_cast<const char*>(b.words + kBlockHeaderWords) : nullptr;
}

}  // namespace vke
