// Drawing commands: the records inside an object's payload. Each command is a
// header of six doubles {code, id, index, style word, colour, data length L}
// followed by L data doubles; integers are stored as doubles and read back
// truncated toward zero. This file owns the header layout, the command codes
// and the readers and writers of headers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/base.hpp"

namespace vke {

// Command codes; the writer of each payload is named beside it.
enum CommandCode : int32_t {
  kCmdPolyline = 1,           // 2-D polyline, markers or filled area (curves, contours, responses)
  kCmdFrequencyPolyline = 2,  // 2-D polyline with a frequency row (Nyquist, Nichols)
  kCmdInfiniteLine = 4,       // infinite 2-D line
  kCmdCircles = 5,            // circles
  kCmdEllipses = 6,           // ellipses (drawn, never written)
  kCmdBars = 7,               // bars
  kCmdCurveList = 8,          // list of curves (root locus)
  kCmdImageCells = 9,         // image cells
  kCmdPseudoColour = 10,      // pseudo-colour cells
  kCmdColourMap = 11,         // colour map of the subplot
  kCmdActiveRegion = 12,      // invisible, hit-testable region
  kCmdPolyline3 = 13,         // 3-D polyline
  kCmdInfiniteLine3 = 14,     // infinite 3-D line
  kCmdPolygons3 = 15,         // 3-D polygons and meshes
  kCmdMaterial = 16,          // material
  kCmdLight = 17,             // light
  kCmdSensor3 = 18,           // draggable 3-D point or plane
  kCmdFirstSystem = 19,       // first linear-system, initial-state or roots command (not drawn)
  kCmdInitialState = 41,      // initial state of a continuous system (not drawn)
  kCmdInitialDiscrete = 42,   // of a discrete system (not drawn)
  kCmdRealRoots = 43,         // polynomial with real coefficients (not drawn)
  kCmdComplexRoots = 44,      // with complex coefficients (not drawn)
  kCmdLastSystem = 45,        // last of them: the root-locus system
  kCmdErrorLocus = 46,        // error-locus region
  kCmdFirstGrid = 47,         // first control-design grid or grid curve
  kCmdZGrid = 47,             // z-plane grid
  kCmdSGrid = 48,             // s-plane grid
  kCmdHallChart = 49,         // closed-loop circles of the Nyquist plane
  kCmdNicholsChart = 50,      // Nichols chart
  kCmdZGridFrequency = 51,    // z-plane curve of one natural frequency
  kCmdZGridDamping = 52,      // z-plane curve of one damping ratio
  kCmdSGridFrequency = 53,    // s-plane circle of one natural frequency
  kCmdSGridDamping = 54,      // s-plane rays of one damping ratio
  kCmdLastGrid = 54,          // last of them
  kCmdFirstText = 55,         // first of the three text commands
  kCmdLastText = 57,          // last of them
  kCmdLegendEntry = 58,       // legend entry
  kCmdFirstSlider = 59,       // first of the two slider commands
  kCmdLastSlider = 60,        // last of them
  kCmdPushButton = 61,        // push buttons
  kCmdCheckBox = 62,          // check boxes
  kCmdRadioButton = 63,       // radio buttons
  kCmdPopupMenu = 64,         // pop-up menu
  kCmdTextField = 65,         // text field
  kCmdTabStops = 66,          // tab stops of the control panel
  kCmdVerticalGroup = 67,     // vertical arrangement of controls
  kCmdFirstFont = 68,         // first of the two font commands
  kCmdLastFont = 69,          // last of them
  kCmdObjectBegin = 70,       // opens the group of one subplot; data = subplot index
};

inline constexpr uint32_t kCommandHeaderDoubles = 6;
// Command 70 is a header and one data double.
inline constexpr uint32_t kObjectBeginDoubles = kCommandHeaderDoubles + 1;

// A command header as integers.
struct CommandHeader {
  int32_t code;
  int32_t id;       // object id given by the application, -1 none
  int32_t index;    // 1-based series or item, -1 none
  uint32_t style;   // style word
  uint32_t colour;  // 0xRRGGBB
  int32_t length;   // data doubles that follow
};

// Writes the six header doubles at `at`.
void WriteCommandHeader(std::byte* at, const CommandHeader& header);

// Reads the header of the command at double `offset` of a payload of
// `payloadLength` doubles. False when the header or its data would run past
// the payload or the data length is negative.
bool ReadCommandAt(const std::byte* payload, uint32_t payloadLength, uint32_t offset,
                   CommandHeader* out);

// Double `i` of a payload (or of any run of doubles).
inline double PayloadDouble(const std::byte* payload, uint32_t i) {
  return Load<double>(payload + size_t{i} * 8);
}
inline void SetPayloadDouble(std::byte* payload, uint32_t i, double v) {
  Store<double>(payload + size_t{i} * 8, v);
}

// Lines of a text cut at line feeds; a final line feed ends the last line.
inline int32_t CountTextLines(const char* text, int32_t length) {
  int32_t lines = 1;
  for (int32_t i = 0; i + 1 < length; ++i) lines += text[i] == '\n';
  return lines;
}

// Appends command 70 for subplot `subplot` at payload[*used]. False, with
// nothing written, when *used + 7 exceeds the capacity.
bool AppendObjectBeginCommand(std::byte* payload, uint32_t capacity, uint32_t* used,
                              int32_t subplot);

}  // namespace vke
