// Whether the whole-array kernels of vector_math.hpp may run here, and the
// vector library they call, opened at their first use by the name the build
// gives as VKE_VECTOR_LIBRARY (its soname): a process that never takes the
// kernels neither loads nor relocates it. A library that cannot be opened,
// or lacks a routine, leaves the kernels unavailable.
#include "builtins/vector_math.hpp"

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "platform/shared_library.hpp"

namespace vke {

namespace {

constexpr int kRoutines = static_cast<int>(VectorFunction::kCount);

const char* const kRoutineNames[] = {
#define VKE_VECTOR_FUNCTION(name, routine) #routine,
#include "builtins/vector_functions.def"
#undef VKE_VECTOR_FUNCTION
};
static_assert(sizeof(kRoutineNames) / sizeof(kRoutineNames[0]) == kRoutines);

enum class LoadOutcome : int32_t { kNotTried, kLoaded, kFailed };

struct VectorLibrary {
  std::mutex lock;
  std::atomic<LoadOutcome> outcome{LoadOutcome::kNotTried};
  std::string name = VKE_VECTOR_LIBRARY;
  std::array<const void*, kRoutines> routines{};
};

VectorLibrary& TheLibrary() {
  static VectorLibrary library;
  return library;
}

bool ProcessorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

// Opens the library and takes every routine from it; the library stays open
// for the life of the process once every routine was found.
LoadOutcome Load(VectorLibrary& library) {
  void* handle = OpenSharedLibrary(library.name.c_str());
  if (!handle) return LoadOutcome::kFailed;
  for (int i = 0; i < kRoutines; i++) {
    library.routines[i] = FindSharedSymbol(handle, kRoutineNames[i]);
    if (!library.routines[i]) {
      library.routines.fill(nullptr);
      CloseSharedLibrary(handle);
      return LoadOutcome::kFailed;
    }
  }
  return LoadOutcome::kLoaded;
}

}  // namespace

bool VectorMathAvailable() {
  if (!ProcessorHasAvx2()) return false;
  VectorLibrary& library = TheLibrary();
  LoadOutcome outcome = library.outcome.load(std::memory_order_acquire);
  if (outcome == LoadOutcome::kNotTried) [[unlikely]] {
    std::lock_guard<std::mutex> guard(library.lock);
    outcome = library.outcome.load(std::memory_order_relaxed);
    if (outcome == LoadOutcome::kNotTried) {
      outcome = Load(library);
      library.outcome.store(outcome, std::memory_order_release);
    }
  }
  return outcome == LoadOutcome::kLoaded;
}

const void* VectorRoutine(VectorFunction f) {
  return TheLibrary().routines[static_cast<size_t>(f)];
}

void PointVectorMathAt(const char* library) {
  VectorLibrary& state = TheLibrary();
  std::lock_guard<std::mutex> guard(state.lock);
  state.name = library ? library : VKE_VECTOR_LIBRARY;
  state.routines.fill(nullptr);
  state.outcome.store(LoadOutcome::kNotTried, std::memory_order_release);
}

}  // namespace vke
