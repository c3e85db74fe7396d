// The system's serial ports: the terminals of /sys/class/tty that stand on a
// device (virtual consoles and pseudo-terminals do not), less the port slots
// of a driver that found no hardware behind them (port type 0), as device
// paths in /dev, sorted. Tests put a lister of their own in its place.
#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_port.hpp"

namespace vke {

namespace {

constexpr char kTtyClassFolder[] = "/sys/class/tty/";
constexpr char kDeviceFolder[] = "/dev/";

bool IsRealPort(const std::string& name) {
  const std::string folder = kTtyClassFolder + name;
  DIR* device = opendir((folder + "/device").c_str());
  if (!device) return false;
  closedir(device);
  std::ifstream typeFile(folder + "/type");
  int type = -1;
  return !(typeFile >> type) || type != 0;
}

int32_t SystemSerialPorts(char* buffer, int32_t size) {
  DIR* folder = opendir(kTtyClassFolder);
  if (!folder) return -1;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] != '.' && IsRealPort(entry->d_name)) names.emplace_back(entry->d_name);
  }
  closedir(folder);
  std::sort(names.begin(), names.end());
  int32_t used = 0;
  for (const std::string& name : names) {
    const std::string path = kDeviceFolder + name;
    const auto bytes = static_cast<int32_t>(path.size()) + 1;
    if (bytes > size - used) return -1;
    std::memcpy(buffer + used, path.c_str(), static_cast<size_t>(bytes));
    used += bytes;
  }
  return static_cast<int32_t>(names.size());
}

SerialPortLister g_lister = &SystemSerialPorts;

}  // namespace

int32_t ListSerialPorts(char* buffer, int32_t size) {
  return g_lister(buffer, size);
}

void SetSerialPortListerForTesting(SerialPortLister lister) {
  g_lister = lister ? lister : &SystemSerialPorts;
}

}  // namespace vke
