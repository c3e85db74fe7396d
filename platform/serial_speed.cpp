// Serial speeds through the kernel's second termios layout, which carries
// the speed in bits per second: the speeds without a termios constant, and
// reading back the speed a driver has set. (Its header cannot stand beside
// <termios.h>, hence a file of its own.)
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "platform/serial_port.hpp"

namespace vke {

bool SetOtherSerialSpeed(int handle, int32_t bps) {
  termios2 t{};
  if (::ioctl(handle, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = t.c_ospeed = static_cast<speed_t>(bps);
  return ::ioctl(handle, TCSETS2, &t) == 0;
}

int32_t SerialPortSpeed(int handle) {
  termios2 t{};
  if (::ioctl(handle, TCGETS2, &t) != 0) return -1;
  return static_cast<int32_t>(t.c_ospeed);
}

}  // namespace vke
