// Room withheld from the free ends of the value stacks for a compilation.
#include "compiler/compile_memory.hpp"

#include "compiler/library_source.hpp"
#include "engine/errors/errors.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/value_read.hpp"

namespace vke {

namespace {

// Room left to the stacks for the pushes made while compiling (constant
// folding, error messages).
constexpr uint32_t kKeptDataUnits = 512;
constexpr uint32_t kKeptDescWords = 1024;
constexpr uint32_t kMinScratchBytes = 16384;

}  // namespace

uint8_t* WithheldSpace::Data(uint32_t bytes) {
  const uint32_t units = (bytes + 7) / 8;
  if (ctx_->dataCap < ctx_->dataTop || ctx_->dataCap - ctx_->dataTop < units + kKeptDataUnits)
    return nullptr;
  ctx_->dataCap -= units;
  return ctx_->DataBytes() + 8ull * ctx_->dataCap;
}

const char* WithheldSpace::TextCopy(int32_t depth, int32_t* length) {
  const NumericView v = ViewNumeric(ctx_, depth);
  auto* copy = reinterpret_cast<char*>(Data(static_cast<uint32_t>(v.shape.count) + 1));
  if (!copy) return nullptr;
  for (int32_t i = 0; i < v.shape.count; i++) copy[i] = static_cast<char>(v.elements[2 * i]);
  copy[v.shape.count] = 0;
  *length = v.shape.count;
  return copy;
}

ErrCode WithheldSpace::TakeScratch(Scratch* scratch) {
  const uint32_t free = ctx_->dataCap > ctx_->dataTop ? ctx_->dataCap - ctx_->dataTop : 0;
  if (free < kKeptDataUnits || RoomRefused(RoomKind::kCode)) return kErrCompOutOfMemory;
  const uint32_t units = (free - kKeptDataUnits) / 4 * 3;
  if (units * 8ull < kMinScratchBytes) return kErrCompOutOfMemory;
  uint8_t* base = Data(units * 8);
  if (!base) return kErrCompOutOfMemory;
  *scratch = Scratch(base, units * 8);
  return kOk;
}

ErrCode WithheldSpace::LoadSource(int32_t index, const char** text, int32_t* length,
                                  int32_t* line) {
  // First the descriptor stack: load behind the room kept for pushes, then
  // move the text to the end of the free part and withhold it.
  if (ctx_->descCap > ctx_->descTop + kKeptDescWords + 16) {
    auto* start = reinterpret_cast<char*>(ctx_->DescWords() + ctx_->descTop + kKeptDescWords);
    const auto capacity =
        static_cast<int32_t>(4ull * (ctx_->descCap - ctx_->descTop - kKeptDescWords));
    ErrCode e = FindFunctionSource(ctx_, index, start, capacity, length, line);
    if (e == kOk) {
      const uint32_t words = (static_cast<uint32_t>(*length) + 3) / 4;
      ctx_->descCap -= words;
      auto* at = reinterpret_cast<char*>(ctx_->DescWords() + ctx_->descCap);
      std::memmove(at, start, *length);
      *text = at;
      return kOk;
    }
    if (e != kErrDataOverflow) return e;
  }
  const uint32_t free = ctx_->dataCap > ctx_->dataTop + kKeptDataUnits
                            ? ctx_->dataCap - ctx_->dataTop - kKeptDataUnits
                            : 0;
  auto* start = reinterpret_cast<char*>(ctx_->DataBytes() + 8ull * ctx_->dataTop);
  ErrCode e =
      FindFunctionSource(ctx_, index, start, static_cast<int32_t>(8ull * free / 2), length, line);
  if (e) return e;
  uint8_t* at = Data(static_cast<uint32_t>(*length));
  if (!at) return kErrDataOverflow;
  std::memmove(at, start, *length);
  *text = reinterpret_cast<const char*>(at);
  return kOk;
}

}  // namespace vke
