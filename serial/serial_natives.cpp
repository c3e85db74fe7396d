// The natives of the serial library: the system's port names, the settings
// structure, opening a port by name with a mode string or a settings
// structure, and flushing and closing a port by its descriptor.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/threads/threads.hpp"
#include "engine/values/stack_results.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "serial/serial_devices.hpp"
#include "serial/serial_slots.hpp"

namespace vke {

namespace {

// How a failed open is reported, by the port layer's result: an identifier
// and message, or (no identifier) the code alone.
struct SerialFailure {
  int32_t result;
  const char* id;
  const char* message;
};
constexpr SerialFailure kSerialFailures[] = {
    {kSerialCannotOpen, "serial:device", "Cannot open serial port"},       // other failures
    {kSerialNoSuchPath, "serial:device", "Nonexistent serial port path"},  // nothing at the path
    {kSerialAccessDenied, "serial:device", "Serial port access error"},    // no right, or in use
    {kSerialIsDirectory, "serial:device", "Serial port path is a directory"},  // a folder
    {kSerialIoFailed, "serial:write", "Cannot write to serial port"},          // transfer failed
    {kSerialTimeout, "serial:timeout", "Serial port timeout"},                 // nothing in time
    {kSerialBadName, "serial:devname", "Bad serial port name"},                // not a listed port
    {kSerialBadSpeed, "serial:bps", "Unsupported serial port speed"},  // not an accepted speed
};

ErrCode RaiseSerialFailure(EngineContext* ctx, int32_t result) {
  if (result == kSerialBreak) return kStatusHalted;
  for (const SerialFailure& f : kSerialFailures)
    if (f.result == result) return RaiseErrorById(ctx, f.id, -1, f.message, -1);
  return kErrIoErr;
}

// Largest run of digits a mode string's number keeps (larger is no speed and
// a timeout of some weeks all the same).
constexpr int64_t kLargestModeNumber = INT32_MAX;

int32_t StopBitsTimes10(double stopBits) {
  if (stopBits == 1) return 10;
  return stopBits == 1.5 ? 15 : 20;
}

// A duration in seconds as a whole number of units (scale per second), at
// most limit units; 103 for a negative duration or NaN.
ErrCode ScaledDuration(double seconds, double scale, double limit, int32_t* out) {
  if (!(seconds >= 0)) return kErrOutOfRangeArg;
  *out = static_cast<int32_t>(std::lround(std::min(seconds * scale, limit)));
  return kOk;
}

// The mode string at the depth, read character by character: "b" and digits
// the speed, "T" and digits the timeout in milliseconds, "h" handshake, "t"
// text mode, "s1", "s1.5", "s2" the stop bits; all else is skipped.
void ReadModeString(EngineContext* ctx, int32_t depth, SerialOpenSettings* s) {
  const NumericView v = ViewNumeric(ctx, depth);
  const int32_t n = v.shape.count;
  auto at = [&](int32_t i) { return i < n ? ViewElement(v, i, false) : 0.0; };
  auto number = [&](int32_t* i) {
    int64_t value = 0;
    for (; at(*i) >= '0' && at(*i) <= '9'; ++*i)
      value = std::min(value * 10 + static_cast<int64_t>(at(*i) - '0'), kLargestModeNumber);
    return value;
  };
  for (int32_t i = 0; i < n;) {
    const double c = at(i++);
    if (c == 'b') {
      s->bps = static_cast<double>(number(&i));
    } else if (c == 'T') {
      s->timeoutMs = static_cast<int32_t>(number(&i));
    } else if (c == 'h') {
      s->handshake = true;
    } else if (c == 't') {
      s->textMode = true;
    } else if (c == 's' && at(i) == '2') {
      s->stopBitsTimes10 = 20;
      i++;
    } else if (c == 's' && at(i) == '1') {
      const bool half = at(i + 1) == '.' && at(i + 2) == '5';
      s->stopBitsTimes10 = half ? 15 : 10;
      i += half ? 3 : 1;
    }
  }
}

// The settings structure at the depth (or [] for the defaults).
ErrCode ReadSettingsStructure(EngineContext* ctx, int32_t depth, SerialOpenSettings* s) {
  const OptionRecord* table = kSerialdevsetTable;
  double timeout = 0, stopBits = 0, delay = 0;
  uint8_t handshake = 0, textMode = 0;
  ErrCode e = GetOptionField(ctx, depth, "BPS", table, 0, &s->bps);
  if (!e) e = GetOptionField(ctx, depth, "Delay", table, 0, &delay);
  if (!e) e = GetBooleanOption(ctx, depth, "Handshake", table, 0, &handshake);
  if (!e) e = GetOptionField(ctx, depth, "StopBits", table, 0, &stopBits);
  if (!e) e = GetBooleanOption(ctx, depth, "TextMode", table, 0, &textMode);
  if (!e) e = GetOptionField(ctx, depth, "Timeout", table, 0, &timeout);
  if (!e) e = ScaledDuration(timeout, 1e3, INT32_MAX, &s->timeoutMs);
  if (!e) e = ScaledDuration(std::min(delay, 1.0), 1e6, 1e6, &s->delayMicroseconds);
  s->stopBitsTimes10 = StopBitsTimes10(stopBits);
  s->handshake = handshake;
  s->textMode = textMode;
  return e;
}

// The system's port names; none when they cannot be listed.
class PortList {
 public:
  PortList() : count_(std::max(ListSerialPorts(bytes_, sizeof bytes_), 0)) {}
  int32_t count() const { return count_; }
  // Name i, from 0 (below count).
  const char* Name(int32_t i) const {
    const char* name = bytes_;
    for (; i > 0; i--) name += std::strlen(name) + 1;
    return name;
  }
  bool Contains(const char* name) const {
    for (int32_t i = 0; i < count_; i++)
      if (std::strcmp(Name(i), name) == 0) return true;
    return false;
  }

 private:
  char bytes_[kSerialListBytes];
  int32_t count_;
};

// The opens of serialdevopen after the settings: a free slot, a listed name,
// an accepted speed, then the port itself.
ErrCode OpenPort(EngineContext* ctx, int32_t depth, const SerialOpenSettings& settings,
                 int32_t* fd) {
  const int32_t slot = FreeSerialSlot();
  if (slot < 0) return kErrTooManyOpenFiles;
  char name[kSerialListBytes];
  ErrCode e = GetStringArgToBuffer(ctx, depth, name, sizeof name, nullptr);
  if (e && e != kErrObjTooLarge) return e;  // a longer name is listed nowhere
  if (e || !PortList().Contains(name)) return RaiseSerialFailure(ctx, kSerialBadName);
  if (!IsAcceptedSerialSpeed(settings.bps)) return RaiseSerialFailure(ctx, kSerialBadSpeed);
  const int32_t result = OpenSerialSlot(ctx, slot, name, settings);
  if (result != kSerialOk) return RaiseSerialFailure(ctx, result);
  *fd = SerialFdBase(ctx) + slot;
  return kOk;
}

// flushdevice and closedevice: the action on the port of the descriptor
// argument; no result.
ErrCode ApplyToPort(EngineContext* ctx, int32_t nargin, int32_t nargout,
                    ErrCode (*action)(int32_t)) {
  if (nargin < 1) return kErrTooFewArgin;
  int32_t fd = 0;
  ErrCode e = GetIntegerArg(ctx, 0, &fd);
  if (!e) e = action(fd);
  if (e) return e;
  return ReplaceInputsWithNothing(ctx, nargin, nargout);
}

}  // namespace

ErrCode SerialdevnameNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  const PortList ports;
  if (nargin == 0) {
    for (int32_t i = 0; i < ports.count(); i++) {
      if (ErrCode e = PushCString(ctx, -1, ports.Name(i))) {
        Drop(ctx, i);
        return e;
      }
    }
    ErrCode e = PushListFromEntries(ctx, ports.count(), false, nullptr, 0);
    if (e) Drop(ctx, ports.count());
    return e;
  }
  double n = 0;
  if (ErrCode e = GetScalarArg(ctx, 0, &n)) return e;
  const bool listed = n >= 1 && n <= ports.count() && n == std::floor(n);
  const char* name = listed ? ports.Name(static_cast<int32_t>(n) - 1) : "";
  // The name takes the room of its input, which stays where it was when
  // there is none: the call runs again once the area has grown.
  return PushInPlaceOfTop(ctx, 1, [&] { return PushCString(ctx, -1, name); });
}

ErrCode SerialdevsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kSerialdevsetTable);
}

ErrCode SerialdevopenNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (nargin < 1) return kErrTooFewArgin;
  if (nargin > 2) return kErrTooManyArgin;
  SerialFdBase(ctx);
  SerialOpenSettings settings;
  if (nargin == 2) {
    if (IsCharArray(ctx, 0)) {
      ReadModeString(ctx, 0, &settings);
    } else if (ErrCode e = ReadSettingsStructure(ctx, 0, &settings)) {
      return e;
    }
  }
  // The descriptor's room comes before the port is opened: a call without it
  // opens nothing, so that no port is left open that its caller never got.
  if (ErrCode e = MakeRoomForResult(ctx, 1)) return e;
  int32_t fd = 0;
  if (ErrCode e = OpenPort(ctx, nargin - 1, settings, &fd)) return e;
  Drop(ctx, nargin);
  return PushRealScalar(ctx, fd);
}

ErrCode FlushdeviceNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return ApplyToPort(ctx, nargin, nargout, &FlushSerialFd);
}

ErrCode ClosedeviceNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return ApplyToPort(ctx, nargin, nargout, &CloseSerialFd);
}

}  // namespace vke
