// The test host every engine test runs on: an aligned engine area, a fake
// clock that tests advance, a scripted break flag, "+write" hooks that capture
// text per descriptor, "+read" hooks that feed bytes, and a small run-time
// table registered at the front of the registry (with the "clock" native and,
// until the run-time table exists, the serial library's records).
#pragma once

#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/interface.hpp"

namespace vke::test {

struct TestHostOptions {
  uint32_t areaBytes = 1u << 20;
  int lineEnd = 1;              // line-end mode of the "+write" hook: 1 LF, 2 CR LF, else CR
  bool wholeLineReads = false;  // the "+read" hook reads whole lines itself
  bool reset = true;            // run ResetEngine after registering the table
  // The run-time table (path, threads, timers, files, "!lapack") behind the
  // static table; without it the engine's builtins meet no "!lapack"
  // native of their names.
  bool runtimeTable = true;
};

class TestHost {
 public:
  explicit TestHost(TestHostOptions options = {});
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  EngineContext* ctx() const { return ctx_; }
  EngineContext* operator->() const { return ctx_; }

  // Text written to a descriptor through the host's "+write" hook.
  std::string Output(int32_t fd) const;
  void ClearOutput() { output_.clear(); }

  // Bytes the host's "+read" hook delivers for a descriptor.
  void FeedInput(int32_t fd, const std::string& bytes);

  // The fake clock shared by all hosts: seconds since an arbitrary start.
  static void AdvanceClock(double seconds);
  static double Now();

  // Break answers given to the engine's abort callback, in order; false once
  // the script is used up.
  void ScriptBreaks(std::vector<bool> answers);

  // Descriptors the hooks claim besides 1, 2 and 3.
  void ClaimFd(int32_t fd) { claimed_.push_back(fd); }

  NativeFunctionRecord* table() { return table_.data(); }

 private:
  static ErrCode WriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t);
  static ErrCode ReadHook(EngineContext*, int32_t fd, char* buf, int32_t size, int32_t* count,
                          uintptr_t);
  static bool BreakCallback(uintptr_t self);
  static double Timer(void* area, int32_t which, int32_t restart);
  bool Claims(int32_t fd) const;

  std::unique_ptr<void, decltype(&std::free)> area_;
  EngineContext* ctx_ = nullptr;
  std::vector<NativeFunctionRecord> table_;
  std::map<int32_t, std::string> output_;
  std::map<int32_t, std::deque<char>> input_;
  std::deque<bool> breaks_;
  std::vector<int32_t> claimed_;
  alignas(8) uint8_t timerArea_[16] = {};
};

// Convenience readers for assertions.
double TopScalar(EngineContext* ctx, int32_t depth = 0);
std::string TopString(EngineContext* ctx, int32_t depth = 0);
int32_t EntryCount(EngineContext* ctx);

}  // namespace vke::test
