// The open ports of the serial library: 16 slots, process-wide like the
// engine itself, whose descriptors are the first 16 numbers of a range the
// library reserves from the engine on its first open.
#pragma once

#include "engine/context.hpp"
#include "platform/serial_port.hpp"

namespace vke {

// What an open asks for.
struct SerialOpenSettings {
  double bps = 19200;  // checked against the accepted speeds before the open
  int32_t stopBitsTimes10 = 20;
  bool handshake = false;
  bool textMode = false;          // CR and CR LF read as LF
  int32_t timeoutMs = 1000;       // for each wait of a read or write
  int32_t delayMicroseconds = 0;  // pause after each written byte
};

// The first descriptor of the library's range, reserving the range on the
// first call.
int32_t SerialFdBase(EngineContext* ctx);

// A free slot, or -1 when all 16 ports are open.
int32_t FreeSerialSlot();

// Opens the port at the path into the free slot: sets its line, discards the
// input it holds and what keeps arriving for a moment (with the break poll),
// and fills the slot. Gives the port layer's result; on failure the slot
// stays free and nothing stays open.
int32_t OpenSerialSlot(EngineContext* ctx, int32_t slot, const char* path,
                       const SerialOpenSettings& settings);

// flushdevice and closedevice: kErrBadFileID for a descriptor that is not an open port.
ErrCode FlushSerialFd(int32_t fd);
ErrCode CloseSerialFd(int32_t fd);

}  // namespace vke
