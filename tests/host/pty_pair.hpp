// Pseudo-terminal pairs standing in for serial lines: the serial library
// opens the terminal end by its path, and the test plays the device at the
// other end. The ports the library lists are set by the test.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace vke::test {

class PtyPair {
 public:
  PtyPair();  // both ends raw
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The terminal end's device path, as a port lister names it.
  const std::string& path() const { return path_; }
  // The test's own handle of the terminal end: it keeps the line up and
  // reads the settings the library made (without reading its data).
  int terminal() const { return terminal_; }
  // The device's end.
  int device() const { return device_; }

  // Sends bytes from the device's end.
  void Send(const std::string& bytes) const;
  // Reads n bytes at the device's end; fewer when none come for 5 seconds.
  std::string Receive(size_t n) const;
  // Waits (5 seconds at most) until n bytes wait at the terminal end.
  bool WaitForInput(int n) const;
  // Bytes that wait at the terminal end.
  int PendingInput() const;
  // Fills the line towards the device, which does not read, until it takes
  // nothing more.
  void FillOutput() const;

 private:
  int device_ = -1;
  int terminal_ = -1;
  std::string path_;
};

// A device that sends bytes without pause while it lives.
class StreamingDevice {
 public:
  explicit StreamingDevice(const PtyPair& pty);
  ~StreamingDevice();
  StreamingDevice(const StreamingDevice&) = delete;
  StreamingDevice& operator=(const StreamingDevice&) = delete;

 private:
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Makes the paths the system's list of serial ports while it lives.
class ListedPorts {
 public:
  explicit ListedPorts(std::vector<std::string> paths);
  ~ListedPorts();
  ListedPorts(const ListedPorts&) = delete;
  ListedPorts& operator=(const ListedPorts&) = delete;
};

}  // namespace vke::test
