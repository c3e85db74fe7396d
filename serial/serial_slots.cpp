// The slots of the serial library and its four descriptor hooks: reads that
// turn CR and CR LF into LF in text mode, writes paced by the port's delay,
// and the user's break asked while a transfer runs.
#include "serial/serial_slots.hpp"

#include "builtins/file_io.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/frames.hpp"
#include "serial/serial_devices.hpp"

namespace vke {

namespace {

constexpr int32_t kSerialSlots = 16;
// Descriptors reserved from the engine; the first kSerialSlots are used.
constexpr int32_t kSerialFdRange = 512;

// The drain at an open: input stops counting as stale after this long
// without a byte, and a peer that never pauses is drained no longer than
// the limit.
constexpr int32_t kDrainQuietMs = 10;
constexpr int32_t kDrainLimitMs = 250;

struct SerialSlot {
  int handle = -1;
  int32_t timeoutMs = 0;
  int32_t delayMicroseconds = 0;
  bool textMode = false;
  bool lastWasCr = false;  // text mode: the last byte read was a CR
  bool open = false;
};

SerialSlot g_slots[kSerialSlots];
int32_t g_fdBase = -1;  // -1 until the first open

SerialSlot* OpenSlotOf(int32_t fd) {
  if (g_fdBase < 0 || fd < g_fdBase || fd >= g_fdBase + kSerialSlots) return nullptr;
  SerialSlot* slot = &g_slots[fd - g_fdBase];
  return slot->open ? slot : nullptr;
}

void CloseSlot(SerialSlot* slot) {
  CloseSerialPort(slot->handle);
  *slot = SerialSlot{};
}

void CloseAllSlots() {
  for (SerialSlot& slot : g_slots)
    if (slot.open) CloseSlot(&slot);
}

bool BreakRequested(void* ctx) {
  return PollAbortRequest(static_cast<EngineContext*>(ctx));
}

SerialBreakPoll BreakPollOf(EngineContext* ctx) {
  return SerialBreakPoll{&BreakRequested, ctx};
}

// The descriptor layer's code of a transfer's result.
ErrCode TransferError(int32_t result) {
  switch (result) {
    case kSerialOk:
      return kOk;
    case kSerialTimeout:
      return kErrTimeout;
    case kSerialBreak:
      return kStatusHalted;
    default:
      return kErrIoErr;
  }
}

}  // namespace

int32_t SerialFdBase(EngineContext* ctx) {
  if (g_fdBase < 0) g_fdBase = AllocateFdRange(ctx, kSerialFdRange);
  return g_fdBase;
}

int32_t FreeSerialSlot() {
  for (int32_t i = 0; i < kSerialSlots; i++)
    if (!g_slots[i].open) return i;
  return -1;
}

int32_t OpenSerialSlot(EngineContext* ctx, int32_t slot, const char* path,
                       const SerialOpenSettings& settings) {
  SerialLineSettings line;
  line.bps = static_cast<int32_t>(settings.bps);
  line.stopBitsTimes10 = settings.stopBitsTimes10;
  line.handshake = settings.handshake;
  int handle = -1;
  int32_t result = OpenSerialPort(path, line, &handle);
  if (result != kSerialOk) return result;
  result = DrainSerialInput(handle, kDrainQuietMs, kDrainLimitMs, BreakPollOf(ctx));
  if (result != kSerialOk) {
    CloseSerialPort(handle);
    return result;
  }
  SerialSlot& s = g_slots[slot];
  s.handle = handle;
  s.timeoutMs = settings.timeoutMs;
  s.delayMicroseconds = settings.delayMicroseconds;
  s.textMode = settings.textMode;
  s.lastWasCr = false;
  s.open = true;
  return kSerialOk;
}

ErrCode FlushSerialFd(int32_t fd) {
  SerialSlot* slot = OpenSlotOf(fd);
  if (!slot) return kErrBadFileID;
  FlushSerialInput(slot->handle);
  return kOk;
}

ErrCode CloseSerialFd(int32_t fd) {
  SerialSlot* slot = OpenSlotOf(fd);
  if (!slot) return kErrBadFileID;
  CloseSlot(slot);
  return kOk;
}

void ResetSerialDevicesForTesting() {
  CloseAllSlots();
  g_fdBase = -1;
}

ErrCode SerialWriteHook(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                        uintptr_t) {
  SerialSlot* slot = OpenSlotOf(fd);
  if (!slot) return kErrBadFileID;
  return TransferError(WriteSerialPort(slot->handle, reinterpret_cast<const uint8_t*>(bytes),
                                       length, slot->timeoutMs, slot->delayMicroseconds,
                                       BreakPollOf(ctx)));
}

// Reads until size bytes are stored; each piece is read into the free end
// of the buffer, which text mode only shortens.
ErrCode SerialReadHook(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, int32_t* count,
                       uintptr_t) {
  SerialSlot* slot = OpenSlotOf(fd);
  if (!slot) return kErrBadFileID;
  int32_t stored = 0;
  int32_t result = kSerialOk;
  while (stored < size && result == kSerialOk) {
    int32_t got = 0;
    result = ReadSerialPort(slot->handle, reinterpret_cast<uint8_t*>(buffer + stored),
                            size - stored, slot->timeoutMs, BreakPollOf(ctx), &got);
    stored += slot->textMode ? CrLfToLineFeeds(buffer + stored, got, &slot->lastWasCr) : got;
  }
  *count = stored;
  return TransferError(result);
}

ErrCode SerialCloseHook(EngineContext*, int32_t fd, uintptr_t) {
  if (fd != kAllFds) return CloseSerialFd(fd);
  CloseAllSlots();
  return kErrBadFileID;  // the other libraries close theirs too
}

ErrCode SerialIoControlHook(EngineContext*, int32_t fd, int32_t code, intptr_t* word, uintptr_t) {
  SerialSlot* slot = OpenSlotOf(fd);
  if (!slot) return kErrBadFileID;
  switch (code) {
    case kIoEndOfFile:
      *word = 0;  // a port never ends
      return kOk;
    case kIoSeekBegin:
    case kIoSeekCurrent:
    case kIoSeekEnd:
    case kIoTell:
      return kErrIoErr;
    case kIoFlush:
      FlushSerialInput(slot->handle);
      return kOk;
    default:
      return kErrIllegal;
  }
}

}  // namespace vke
