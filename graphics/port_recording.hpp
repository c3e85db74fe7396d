// A graphics port for tests: every slot call is logged with its arguments,
// text is measured by a fixed character cell, and any slot can be left empty
// to exercise the callers' paths for a missing slot.
#pragma once

#include <string>
#include <vector>

#include "graphics/port.hpp"

namespace vke {

struct PortCall {
  PortSlot slot;
  std::vector<double> values;  // arguments in order; outputs of slots 6 and 11 last
  bool hasText;
  std::string text;  // text or font name
};

class RecordingPort {
 public:
  RecordingPort();
  ~RecordingPort();
  RecordingPort(const RecordingPort&) = delete;
  RecordingPort& operator=(const RecordingPort&) = delete;

  GraphicsPort& port() { return port_; }
  void* target() { return this; }
  void RemoveSlot(PortSlot slot);

  const std::vector<PortCall>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }
  // One line per call: the slot's log name, the values, the text in quotes.
  std::string Log() const;

  // Extents of text: cellWidth per character, cellHeight per line.
  void SetCharCell(double cellWidth, double cellHeight);

  // Used by the slot functions.
  void Record(PortSlot slot, std::vector<double> values, const char* text, int32_t nbytes);
  void Measure(const char* utf8, int32_t nbytes, double* width, double* height) const;
  // Slot 11 has no target: it records into the most recently created port.
  static RecordingPort* Latest();

 private:
  GraphicsPort port_;
  std::vector<PortCall> calls_;
  double cellWidth_ = 8;
  double cellHeight_ = 16;
  RecordingPort* previous_;
};

}  // namespace vke
