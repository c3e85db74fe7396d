// The LAPACK, BLAS and f2c run-time libraries opened at their first use:
// the configured library names (sonames, ':'-separated, given by the build
// as VKE_LAPACK_LIBRARIES), the resolved addresses and the outcome of the
// load.
#include "numerics/lapack/lapack_loader.hpp"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine/errors/raise.hpp"
#include "numerics/lapack/lapack_binding.hpp"
#include "platform/shared_library.hpp"

namespace vke {

namespace {

enum class LoadOutcome : int32_t { kNotTried, kLoaded, kFailed };

const char* const kRoutineNames[] = {
#define VKE_LAPACK_ROUTINE(name, result, parameters) #name,
#include "numerics/lapack/lapack_routines.def"
#undef VKE_LAPACK_ROUTINE
};

struct Loader {
  std::mutex lock;
  std::atomic<LoadOutcome> outcome{LoadOutcome::kNotTried};
  std::string libraries = VKE_LAPACK_LIBRARIES;
  std::string missing;  // the library or routine a failed load could not find
  std::array<void*, kLapackRoutineCount> addresses{};
};

Loader& TheLoader() {
  static Loader loader;
  return loader;
}

// Opens every library of the list and takes each routine from the first
// library that exports it; records what was missing on failure. The
// libraries stay open for the life of the process.
LoadOutcome Load(Loader& loader) {
  std::vector<void*> opened;
  size_t start = 0;
  while (start <= loader.libraries.size()) {
    size_t end = loader.libraries.find(':', start);
    if (end == std::string::npos) end = loader.libraries.size();
    const std::string name = loader.libraries.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    void* library = OpenSharedLibrary(name.c_str());
    if (!library) {
      loader.missing = name;
      return LoadOutcome::kFailed;
    }
    opened.push_back(library);
  }
  for (int32_t i = 0; i < kLapackRoutineCount; i++) {
    void* address = nullptr;
    for (void* library : opened) {
      if ((address = FindSharedSymbol(library, kRoutineNames[i]))) break;
    }
    if (!address) {
      loader.missing = kRoutineNames[i];
      loader.addresses.fill(nullptr);
      return LoadOutcome::kFailed;
    }
    loader.addresses[i] = address;
  }
  return LoadOutcome::kLoaded;
}

LoadOutcome EnsureLoaded() {
  Loader& loader = TheLoader();
  LoadOutcome outcome = loader.outcome.load(std::memory_order_acquire);
  if (outcome != LoadOutcome::kNotTried) return outcome;
  std::lock_guard<std::mutex> guard(loader.lock);
  outcome = loader.outcome.load(std::memory_order_relaxed);
  if (outcome == LoadOutcome::kNotTried) {
    outcome = Load(loader);
    loader.outcome.store(outcome, std::memory_order_release);
  }
  return outcome;
}

}  // namespace

void* LapackRoutineAddress(LapackRoutine routine) {
  EnsureLoaded();
  return TheLoader().addresses[static_cast<size_t>(routine)];
}

ErrCode LoadLapack(EngineContext* ctx) {
  if (EnsureLoaded() == LoadOutcome::kLoaded) return kOk;
  const std::string& missing = TheLoader().missing;
  return RaiseError(ctx, kErrLibNotFound, -1, 0, static_cast<int32_t>(missing.size()),
                    missing.c_str());
}

void PointLapackLoaderAt(const char* libraries) {
  Loader& loader = TheLoader();
  std::lock_guard<std::mutex> guard(loader.lock);
  loader.libraries = libraries ? libraries : VKE_LAPACK_LIBRARIES;
  loader.missing.clear();
  loader.addresses.fill(nullptr);
  loader.outcome.store(LoadOutcome::kNotTried, std::memory_order_release);
}

}  // namespace vke
