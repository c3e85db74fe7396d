// The serial-port layer: the system's list of ports, opening one with its
// line settings, reading and writing with a timeout, pacing written bytes,
// discarding input and closing. Every operation answers one of the layer's
// results; a transfer asks a break poll as it goes and stops when it says so.
#pragma once

#include <cstdint>

namespace vke {

// Results of the port layer (the serial library turns them into its errors).
enum SerialResult : int32_t {
  kSerialOk = 0,
  kSerialCannotOpen = 1,    // the port could not be opened or configured
  kSerialNoSuchPath = 2,    // nothing exists at the path
  kSerialAccessDenied = 3,  // no permission, or the port is in use
  kSerialIsDirectory = 4,   // the path names a directory
  kSerialIoFailed = 5,      // a read or write failed, or the device went away
  kSerialTimeout = 6,       // nothing arrived, or nothing could be written, in time
  kSerialBreak = 7,         // the break poll asked to stop
  kSerialBadName = 8,       // the name is not in the system's list of ports
  kSerialBadSpeed = 9,      // a speed outside the accepted list, or one the driver refuses
};

// The line settings of an open port: 8 data bits, no parity.
struct SerialLineSettings {
  int32_t bps = 19200;
  int32_t stopBitsTimes10 = 20;  // 10 one stop bit; 15 and 20 two
  bool handshake = false;        // RTS/CTS flow control
};

// Asked after each piece of a transfer and while it waits; true ends the
// transfer with kSerialBreak.
struct SerialBreakPoll {
  bool (*requested)(void* argument) = nullptr;
  void* argument = nullptr;
};

// Whether the speed is one of the accepted speeds (75 to 921600 bps).
bool IsAcceptedSerialSpeed(double bps);

// Opens the port at the path for reading and writing, exclusively, and sets
// its line settings; *handle is valid only when the result is kSerialOk.
int32_t OpenSerialPort(const char* path, const SerialLineSettings& settings, int* handle);

// Writes the bytes; a delay (microseconds) writes them one at a time, each
// followed by that pause. Waits up to timeoutMs for the port to take more.
int32_t WriteSerialPort(int handle, const uint8_t* bytes, int32_t n, int32_t timeoutMs,
                        int32_t delayMicroseconds, SerialBreakPoll poll);

// Reads between 1 and n bytes: waits up to timeoutMs for the first, then
// takes what has arrived; *got is the count read, also on failure.
int32_t ReadSerialPort(int handle, uint8_t* buffer, int32_t n, int32_t timeoutMs,
                       SerialBreakPoll poll, int32_t* got);

// Discards pending input, then what keeps arriving: until nothing comes for
// quietMs, or for at most limitMs in all (a peer that never pauses).
int32_t DrainSerialInput(int handle, int32_t quietMs, int32_t limitMs, SerialBreakPoll poll);

// Discards the input the port holds.
void FlushSerialInput(int handle);

void CloseSerialPort(int handle);

// The speed the port's driver has set, in bits per second; -1 when it
// cannot be read.
int32_t SerialPortSpeed(int handle);
// Sets a speed that has no standard constant through the driver's request
// for other speeds; false when the driver refuses it.
bool SetOtherSerialSpeed(int handle, int32_t bps);

// ---- The system's ports ----

// Room for the names of all ports, as the library asks for them.
inline constexpr int32_t kSerialListBytes = 8192;

// Writes the names of the system's serial ports (device paths such as
// "/dev/ttyS0"), sorted, as NUL-terminated texts one after another; gives
// their count, or -1 when they cannot be listed or do not fit in size bytes.
int32_t ListSerialPorts(char* buffer, int32_t size);

// Puts another lister in place of the system's (null restores it).
using SerialPortLister = int32_t (*)(char* buffer, int32_t size);
void SetSerialPortListerForTesting(SerialPortLister lister);

}  // namespace vke
