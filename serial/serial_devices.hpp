// The serial-port library "@serial": the natives that list, set up, open,
// flush and close serial ports, and the four descriptor hooks through which
// the ordinary file builtins read and write an open port. Its records stand
// in serial/serial_records.def.
#pragma once

#include "engine/registry/native_record.hpp"

namespace vke {

// serialdevname, devicename: [n] -> the n-th port's name ('' when there is
// none), or without n a list of all names.
ErrCode SerialdevnameNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// serialdevset: name/value pairs, after an optional structure -> settings.
ErrCode SerialdevsetNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// serialdevopen, opendevice: name [, mode string or settings] -> descriptor.
ErrCode SerialdevopenNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// flushdevice(fd): discards the port's pending input.
ErrCode FlushdeviceNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
// closedevice(fd): closes the port.
ErrCode ClosedeviceNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

// The descriptor hooks; each answers kErrBadFileID for a descriptor that is not an open
// port of the library, so that the next library is asked.
ErrCode SerialWriteHook(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                        uintptr_t user);
ErrCode SerialReadHook(EngineContext* ctx, int32_t fd, char* buffer, int32_t size, int32_t* count,
                       uintptr_t user);
ErrCode SerialCloseHook(EngineContext* ctx, int32_t fd, uintptr_t user);
ErrCode SerialIoControlHook(EngineContext* ctx, int32_t fd, int32_t code, intptr_t* word,
                            uintptr_t user);

// Closes every open port and forgets the descriptor range, so that the next
// open reserves one from the engine it runs in.
void ResetSerialDevicesForTesting();

}  // namespace vke
