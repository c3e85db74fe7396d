// The record of one running instance of the KV application: 22,784 bytes
// without addresses, stored in images as it is. Record i (from 0) lies
// (i + 1) x 22,784 bytes below the top of the KV data buffer; the records are
// kept contiguous, the first instance's topmost.
#pragma once

#include <cstddef>

#include "app/block.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

inline constexpr int32_t kNoLanguage = -2;  // current language: no section active
inline constexpr int32_t kMenuStateBytes = 64;

// Idle states.
enum IdleState : uint32_t { kIdleOff = 0, kIdleDuringReset = 1, kIdleOn = 2 };
// Idle modes, set by the _idlerate and _idleamount outputs.
enum IdleMode : uint32_t { kIdleModeNone = 0, kIdleModeRate = 1, kIdleModeAmount = 2 };

struct InstanceRecord {
  uint32_t id;
  uint8_t initialised;    // the init handlers have run
  uint8_t firstInstance;  // 1 in the first instance, 0 in created ones
  uint8_t entryOption;    // handler calls start as entry frames of the engine
  uint32_t idleState;     // IdleState
  uint32_t idleMode;      // IdleMode
  double idleValue;       // -1 when unset
  double idleValue2;      // -1 when unset
  // The figure; its first word is the layout word (kElemUiOptions), its
  // first two style records the style pairs, its rectangle the extent.
  FigureState figure;
  uint8_t spareByte;
  uint8_t changed;          // a handler stored a variable
  int32_t currentLanguage;  // offset of the active language section, kNoLanguage
  uint32_t spareWord;
  uint8_t firstRun;     // read by "firstrun"; set by Reset Data of instance-wide code
  uint8_t dragRedraw;   // the mouse tools redraw after a drag step
  uint8_t idleHandler;  // the idle handler may run ("idlestate")
  uint8_t redrawPending;
  uint8_t deferredIdle;
  uint8_t dragging;
  int32_t hoveredSubplot;  // -1 none
  // Menu states (bit 0 enabled, bit 1 checked) of menu items, paste items
  // and copy items, and the undo version they were computed for.
  uint8_t menuStates[3][kMenuStateBytes];
  uint32_t menuStateVersion;
  uint8_t spare[12];
};
static_assert(sizeof(InstanceRecord) == kInstanceRecordBytes);
static_assert(offsetof(InstanceRecord, entryOption) == 6);
static_assert(offsetof(InstanceRecord, idleValue) == 16);
static_assert(offsetof(InstanceRecord, figure) == 32);
static_assert(offsetof(InstanceRecord, currentLanguage) == 22556);
static_assert(offsetof(InstanceRecord, firstRun) == 22564);
static_assert(offsetof(InstanceRecord, menuStates) == 22576);

}  // namespace vke
