#include "tests/host/test_host.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/runtime_native_table.hpp"
#include "app/runtime_tables.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "serial/serial_devices.hpp"

namespace vke::test {

namespace {
double g_now = 1000.0;
}

TestHost::TestHost(TestHostOptions options)
    : area_(std::aligned_alloc(16, (options.areaBytes + 15) & ~15u), &std::free) {
  // Cleared, so that two hosts made alike hold the same bytes even where
  // nothing was written: tests compare whole heaps.
  std::memset(area_.get(), 0, options.areaBytes);
  EXPECT_EQ(CreateEngine(area_.get(), options.areaBytes, &ctx_), kOk);
  const auto self = reinterpret_cast<uintptr_t>(this);
  table_ = {
      MakeRecord("@testhost"),
      MakeRecord("+write", &WriteHook, options.lineEnd, 0, 0, 0, self),
      MakeRecord("+read", &ReadHook, options.wholeLineReads ? 1 : 0, 0, 0, 0, self),
      MakeRecord("clock", &ClockNative, 0, 0, 1, 1),
#define VKE_SERIAL_RECORD(name, fn, minIn, maxIn, minOut, maxOut) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut),
#include "serial/serial_records.def"
#undef VKE_SERIAL_RECORD
      MakeRecord(""),
  };
  EXPECT_EQ(PrepareRuntimeEngine(ctx_), kOk);
  // The run-time table's natives (the path, threads, timers, files) behind
  // the static table, so that names the engine's natives share with
  // "!lapack" still name the engine's.
  if (options.runtimeTable) {
    EXPECT_EQ(RegisterLibrary(ctx_, RuntimeNativeTable(), false), kOk);
  }
  EXPECT_EQ(RegisterLibrary(ctx_, table_.data(), true), kOk);
  SetEngineCallbacks(ctx_, &Timer, reinterpret_cast<uintptr_t>(timerArea_), 8);
  SetHostCallbackPair(ctx_, &BreakCallback, self);
  if (options.reset) {
    EXPECT_EQ(ResetEngine(ctx_), kOk);
  }
}

TestHost::~TestHost() = default;

std::string TestHost::Output(int32_t fd) const {
  auto it = output_.find(fd);
  return it == output_.end() ? std::string() : it->second;
}

void TestHost::FeedInput(int32_t fd, const std::string& bytes) {
  auto& q = input_[fd];
  q.insert(q.end(), bytes.begin(), bytes.end());
}

void TestHost::AdvanceClock(double seconds) {
  g_now += seconds;
}
double TestHost::Now() {
  return g_now;
}

void TestHost::ScriptBreaks(std::vector<bool> answers) {
  breaks_.assign(answers.begin(), answers.end());
}

bool TestHost::Claims(int32_t fd) const {
  if (fd >= 1 && fd <= 3) return true;
  for (int32_t c : claimed_)
    if (c == fd) return true;
  return false;
}

ErrCode TestHost::WriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t n,
                            uintptr_t user) {
  auto* self = reinterpret_cast<TestHost*>(user);
  if (!self->Claims(fd)) return kErrBadFileID;
  self->output_[fd].append(bytes, n);
  return kOk;
}

ErrCode TestHost::ReadHook(EngineContext*, int32_t fd, char* buf, int32_t size, int32_t* count,
                           uintptr_t user) {
  auto* self = reinterpret_cast<TestHost*>(user);
  auto it = self->input_.find(fd);
  if (it == self->input_.end()) return kErrBadFileID;
  auto& q = it->second;
  *count = 0;
  if (q.empty()) return kErrEof;
  while (*count < size && !q.empty()) {
    char c = q.front();
    q.pop_front();
    buf[(*count)++] = c;
    if (self->table_[2].minIn && (c == '\n')) break;
  }
  return kOk;
}

bool TestHost::BreakCallback(uintptr_t user) {
  auto* self = reinterpret_cast<TestHost*>(user);
  if (self->breaks_.empty()) return false;
  bool b = self->breaks_.front();
  self->breaks_.pop_front();
  return b;
}

// (area, which, restart): seconds since the area's last restart.
double TestHost::Timer(void* area, int32_t, int32_t restart) {
  double stored = Load<double>(area);
  double elapsed = g_now - stored;
  if (restart) Store<double>(area, g_now);
  return elapsed;
}

double TopScalar(EngineContext* ctx, int32_t depth) {
  double v = std::nan("");
  EXPECT_EQ(GetScalarArg(ctx, depth, &v), kOk);
  return v;
}

std::string TopString(EngineContext* ctx, int32_t depth) {
  NumericView v = ViewNumeric(ctx, depth);
  EXPECT_EQ(v.cls, ValueClass::kChar);
  std::string s;
  for (int32_t i = 0; i < v.shape.count; i++) s += static_cast<char>(v.elements[2 * i]);
  return s;
}

int32_t EntryCount(EngineContext* ctx) {
  return GetFrameEntryCount(ctx);
}

}  // namespace vke::test
