// How deep natives and builtins that call one another nest on the C stack.
// Compiled functions never nest there (a native starts them and is called
// back), but a native or builtin that calls another at once does, so each
// such call holds a NativeNesting while it runs; past kMaxNativeNesting
// levels the call fails with kErrStackOverflow before it starts, well inside
// a thread's stack. The count is the thread's, as the C stack is.
#pragma once

#include <cstdint>

namespace vke {

inline constexpr int32_t kMaxNativeNesting = 1000;

class NativeNesting {
 public:
  NativeNesting() : tooDeep_(++depth_ > kMaxNativeNesting) {}
  ~NativeNesting() { --depth_; }
  NativeNesting(const NativeNesting&) = delete;
  NativeNesting& operator=(const NativeNesting&) = delete;
  bool TooDeep() const { return tooDeep_; }

 private:
  static inline thread_local int32_t depth_ = 0;
  bool tooDeep_;
};

}  // namespace vke
