// The runtime's mark: the runtime's executable carries a section of its own
// holding a known text, by which the packer tells the runtime from any other
// file before it appends an image behind a copy of it. A packed application
// carries it too, being a copy of the runtime.
#pragma once

#include <array>
#include <string>

// The section's name, as the attribute below needs it written.
#define VKE_RUNTIME_MARK_SECTION ".vke_runtime"

namespace vke {

inline constexpr char kRuntimeMarkSection[] = VKE_RUNTIME_MARK_SECTION;
// What the section holds, its NUL included.
inline constexpr char kRuntimeMarkText[] = "VKE runtime: kvpack appends application images to me";

// Whether the file is an ELF file with the mark: true, or false with *cause
// the system's errno when the file cannot be opened or read (0 when it
// could be read but carries no mark).
bool CarriesRuntimeMark(const std::string& path, int* cause);

}  // namespace vke

// Defines the mark in the executable whose source writes this once (the
// runtime's entry); kept through the linker and its optimisation.
#define VKE_DEFINE_RUNTIME_MARK()                                                              \
  [[gnu::used, gnu::section(VKE_RUNTIME_MARK_SECTION)]] constinit const auto kVkeRuntimeMark = \
      std::to_array(vke::kRuntimeMarkText)
