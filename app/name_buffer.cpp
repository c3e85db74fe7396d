// The name buffer and the table of standard variables.
#include "app/name_buffer.hpp"

#include <cstring>
#include <iterator>

#include "app/errors.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

struct StandardVariableRow {
  int32_t code;
  const char* name;
};

constexpr StandardVariableRow kStandardVariables[] = {
#define VKE_STD_VAR(name, code, text) {code, text},
#include "app/standard_variables.def"
#undef VKE_STD_VAR
};
static_assert(std::size(kStandardVariables) == kStandardVariableCount);

constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kSlotBytes = 32;
constexpr int32_t kMaxId = (1 << 30) - 1;
constexpr int32_t kMinId = -(1 << 30);

uint32_t Capacity(const uint8_t* b) {
  return Load<uint32_t>(b);
}
uint32_t Count(const uint8_t* b) {
  return Load<uint32_t>(b + 4);
}
const uint8_t* Slot(const uint8_t* b, uint32_t i) {
  return b + kHeaderBytes + kSlotBytes * i;
}

// Slots for size bytes; 0 when even the header does not fit one.
uint32_t CapacityFor(uint32_t size) {
  return size < kHeaderBytes + kSlotBytes ? 0 : (size - 40) / kSlotBytes + 1;
}

int32_t SlotNameLength(const uint8_t* slot) {
  const void* nul = std::memchr(slot + 4, 0, kNameSlotChars);
  return nul ? static_cast<int32_t>(static_cast<const uint8_t*>(nul) - (slot + 4)) : kNameSlotChars;
}

}  // namespace

const char* StandardVariableName(int32_t code) {
  for (const StandardVariableRow& row : kStandardVariables)
    if (row.code == code) return row.name;
  return nullptr;
}

ErrCode InitNameBuffer(void* area, uint32_t size) {
  if (!area || size < kNameBufferMinBytes) return kKvTooSmallNameBuf;
  auto* b = static_cast<uint8_t*>(area);
  Store<uint32_t>(b, CapacityFor(size));
  Store<uint32_t>(b + 4, 0);
  return kOk;
}

ErrCode CheckNameBuffer(void* buffer, uint32_t size) {
  auto* b = static_cast<uint8_t*>(buffer);
  const uint32_t capacity = CapacityFor(size);
  if (size < kHeaderBytes || capacity < Count(b)) return kKvTooSmallNameBuf;
  Store<uint32_t>(b, capacity);
  return kOk;
}

uint32_t NameBufferUsedBytes(const void* buffer) {
  return kHeaderBytes + kSlotBytes * Count(static_cast<const uint8_t*>(buffer));
}

ErrCode AddNameSlot(void* buffer, int32_t id, const char* name, int32_t length) {
  auto* b = static_cast<uint8_t*>(buffer);
  const uint32_t count = Count(b);
  if (count >= Capacity(b)) return kKvNoMoreNameSlot;
  if (id < kMinId || id > kMaxId) return kKvVarDuplicate;
  if (!name) name = "";
  if (length <= 0) length = CStringLength(name);
  const int32_t kept = length < kNameSlotChars ? length : kNameSlotChars;
  for (uint32_t i = 0; i < count; i++) {
    const uint8_t* slot = Slot(b, i);
    if (Load<int32_t>(slot) == id) return kKvVarDuplicate;
    const int32_t n = SlotNameLength(slot);
    if (n == kept && std::memcmp(slot + 4, name, n) == 0) return kKvVarDuplicate;
  }
  uint8_t* slot = b + kHeaderBytes + kSlotBytes * count;
  Store<int32_t>(slot, id);
  std::memset(slot + 4, 0, kNameSlotChars);
  std::memcpy(slot + 4, name, kept);
  Store<uint32_t>(b + 4, count + 1);
  return kOk;
}

ErrCode AddStandardVariables(void* buffer) {
  for (const StandardVariableRow& row : kStandardVariables)
    if (ErrCode e = AddNameSlot(buffer, row.code, row.name, -1)) return e;
  return kOk;
}

ErrCode FindVariableSlot(const void* buffer, int32_t id, const char** name, int32_t* length) {
  const auto* b = static_cast<const uint8_t*>(buffer);
  for (uint32_t i = 0; i < Count(b); i++) {
    const uint8_t* slot = Slot(b, i);
    if (Load<int32_t>(slot) != id) continue;
    *name = reinterpret_cast<const char*>(slot + 4);
    *length = SlotNameLength(slot);
    return kOk;
  }
  return kKvVarNotFound;
}

}  // namespace vke
