// The run-time native table: its records against the runtime's published
// list, the standard descriptors' hooks and sink, lookup order in the
// runtime's block, the application object's natives with and without a
// window, and launchurl through a fake spawner.
#include "app/runtime_native_table.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/natives/launch_url.hpp"
#include "app/runtime_context.hpp"
#include "app/runtime_tables.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"
#include "engine/room_requests.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "tests/app/block_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

// The table as published: name, inputs min..max, outputs min..max (hooks:
// their setting byte as the minimum input).
constexpr const char* kPublished = R"(+write 2 0 0 0
+iocbuffering 0 0 0 0
+iocontrol 0 0 0 0
+readlib 0 0 0 0
path 0 2 0 1
@Corvanel 0 0 0 0
drawnow 0 0 0 0
quit 0 0 0 0
help 0 1 0 1
lookfor 1 1 0 0
hasfeature 1 1 1 1
+write 2 0 0 0
@VKE 0 0 0 0
fopen 1 2 1 1
+read 1 0 0 0
+write 1 0 0 0
+fclose 0 0 0 0
+iocontrol 0 0 0 0
@KVdlg 0 0 0 0
getfile 0 2 1 1
putfile 0 2 1 1
@VKE 0 0 0 0
clock 0 0 1 1
tic 0 0 0 0
toc 0 0 1 1
@debug 0 0 0 0
dbstack 0 1 0 1
dbhalt 0 0 0 0
dbstop 1 2 0 0
dbclear 0 2 0 0
dbstatus 0 1 0 0
dbcont 0 0 0 0
dbstep 0 1 0 0
dbquit 0 0 0 0
dbtype 0 1 0 0
echo 1 3 0 0
@thread 0 0 0 0
threadnew 1 64 1 1
threadkill 1 1 0 0
threadsleep 1 2 0 0
threadset 0 64 1 1
semaphorenew 0 0 1 1
semaphoredelete 1 1 0 0
semaphorelock 1 1 0 1
semaphoreunlock 1 1 0 0
!lapack 0 0 0 0
balance 1 1 1 2
chol 1 1 1 1
det 1 1 1 1
eig 1 2 1 2
hess 1 1 1 2
inv 1 1 1 1
logm 1 1 1 2
lu 1 1 1 3
mldivide 2 2 1 1
mrdivide 2 2 1 1
orth 1 1 1 1
null 1 1 1 1
pinv 1 2 1 1
qr 1 2 1 3
qz 2 2 1 4
rank 1 2 1 1
rcond 1 1 1 1
schur 1 1 1 2
sqrtm 1 1 1 2
svd 1 2 1 3
@lnchurl 0 0 0 0
launchurl 1 1 0 1
@serial 0 0 0 0
serialdevopen 1 2 1 1
serialdevset 0 64 1 1
serialdevname 0 1 1 1
+read 0 0 0 0
+write 1 0 0 0
+fclose 0 0 0 0
+iocontrol 0 0 0 0
opendevice 1 2 1 1
flushdevice 1 1 0 0
closedevice 1 1 0 0
devicename 1 1 1 1
)";

const NativeFunctionRecord* Find(const char* name) {
  for (const NativeFunctionRecord* r = RuntimeNativeTable(); !r->IsEnd(); r++)
    if (std::string(r->name) == name) return r;
  return nullptr;
}

TEST(RuntimeNativeTable, HoldsThePublishedRecordsInOrder) {
  std::istringstream published(kPublished);
  const NativeFunctionRecord* r = RuntimeNativeTable();
  std::string line;
  for (int row = 1; std::getline(published, line); row++, r++) {
    ASSERT_FALSE(r->IsEnd()) << "row " << row;
    std::ostringstream actual;
    actual << r->name << ' ' << int(r->minIn) << ' ' << int(r->maxIn) << ' ' << int(r->minOut)
           << ' ' << int(r->maxOut);
    EXPECT_EQ(actual.str(), line) << "row " << row;
    EXPECT_EQ(r->kind, 0) << "row " << row;
    EXPECT_EQ(r->IsHeader(), r->function == nullptr) << "row " << row;
  }
  EXPECT_TRUE(r->IsEnd());
  EXPECT_EQ(r - RuntimeNativeTable(), kRuntimeRecordCount);
  // The option words the list gives.
  EXPECT_STREQ(reinterpret_cast<const char*>(Find("hasfeature")->option), "fileio");
  EXPECT_EQ(Find("fopen")->option, 1u);
  EXPECT_EQ(Find("logm")->option, uintptr_t{'l'});
  EXPECT_EQ(Find("sqrtm")->option, uintptr_t{'s'});
  EXPECT_EQ(Find("logm")->function, Find("sqrtm")->function);
  EXPECT_EQ(Find("serialdevopen")->function, Find("opendevice")->function);
  EXPECT_EQ(Find("serialdevname")->function, Find("devicename")->function);
}

// The static table's application part starts as published: the library
// reader first, then the application library with its messages and
// movezero; its second library ends with the embedded files' records, and
// the dialogs come last.
TEST(RuntimeNativeTable, ApplicationPartOfTheStaticTableKeepsItsOrder) {
  std::vector<std::string> names;
  for (const NativeFunctionRecord* r = AppStaticTable(); !r->IsEnd(); r++) names.push_back(r->name);
  ASSERT_GE(names.size(), 12u);
  EXPECT_EQ(
      std::vector<std::string>(names.begin(), names.begin() + 5),
      (std::vector<std::string>{"+readlib", "!Corvanel", "+errmsgtable", "movezero", "plot"}));
  EXPECT_EQ(std::vector<std::string>(names.end() - 9, names.end()),
            (std::vector<std::string>{"+genericFun", "efopen", "+write", "+read", "+fclose",
                                      "+iocontrol", "@KVdlg", "dialog", "dialogset"}));
}

struct Collected {
  std::vector<std::pair<int32_t, std::string>> texts;
  static void Sink(int32_t fd, const char* bytes, int32_t n, uintptr_t self) {
    reinterpret_cast<Collected*>(self)->texts.emplace_back(fd, std::string(bytes, n));
  }
};

// The runtime's own block: the run-time table in front of the static
// tables and no other host table.
class RuntimeBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    memory_ = std::aligned_alloc(16, kRuntimeMemMin);
    ASSERT_EQ(CreateRuntimeContext(&block_, memory_, kRuntimeMemMin), kOk);
    SetStdOutputSink(&Collected::Sink, reinterpret_cast<uintptr_t>(&out));
  }
  void TearDown() override {
    SetStdOutputSink(nullptr, 0);
    std::free(memory_);
  }
  EngineContext* ctx() { return block_->Engine(); }

  void* memory_ = nullptr;
  KVContextBlock* block_ = nullptr;
  Collected out;
};

// Held text reaches the sink in order when the last hold ends; a drop
// forgets thread 0's pieces of its range but keeps those written while
// keeping is on.
TEST_F(RuntimeBlock, HeldTextIsSentInOrderUnlessDropped) {
  auto joined = [&] {
    std::string text;
    for (const auto& [fd, piece] : out.texts) text += std::to_string(fd) + ":" + piece + "|";
    return text;
  };
  HoldStdOutput();
  WriteToFd(ctx(), kFdOut, "before", -1);
  const uint64_t from = StdOutputPosition();
  HoldStdOutput();  // a nested hold sends nothing when it ends
  WriteToFd(ctx(), kFdErr, "failed", -1);
  KeepStdOutput(true);
  WriteToFd(ctx(), kFdErr, "grown", -1);
  KeepStdOutput(false);
  ReleaseStdOutput();
  EXPECT_TRUE(out.texts.empty());
  DropStdOutput(from, StdOutputPosition(), ctx()->nextThreadId, ctx()->nextThreadId);
  WriteToFd(ctx(), kFdOut, "again", -1);
  ReleaseStdOutput();
  EXPECT_EQ(joined(), "1:before|2:grown|1:again|");
  // Without a hold the text goes at once; a flush sends what is held.
  out.texts.clear();
  WriteToFd(ctx(), kFdOut, "now", -1);
  HoldStdOutput();
  WriteToFd(ctx(), kFdOut, "held", -1);
  EXPECT_EQ(joined(), "1:now|");
  FlushStdOutput();
  EXPECT_EQ(joined(), "1:now|1:held|");
  // A handler that writes much has it sent as it goes.
  const std::string much(600000, 'x');
  WriteToFd(ctx(), kFdOut, much.data(), static_cast<int32_t>(much.size()));
  EXPECT_EQ(out.texts.size(), 2u);
  WriteToFd(ctx(), kFdOut, much.data(), static_cast<int32_t>(much.size()));
  EXPECT_EQ(out.texts.size(), 4u);
  ReleaseStdOutput();
}

TEST_F(RuntimeBlock, StandardDescriptorsGoToTheSinkWithCrLfLineEnds) {
  EXPECT_EQ(WriteToFd(ctx(), kFdOut, "a", 1), kOk);
  EXPECT_EQ(WriteNewlineToFd(ctx(), kFdOut), kOk);
  EXPECT_EQ(WriteToFd(ctx(), kFdConsole3, "c", 1), kOk);
  EXPECT_EQ(FlushFd(ctx(), kFdErr, kBufferingOn), kOk);
  std::string joined;
  for (const auto& [fd, text] : out.texts) joined += std::to_string(fd) + ":" + text + "|";
  EXPECT_EQ(joined, "1:a|1:\r\n|3:c|");
  // Without a sink descriptor 3 takes the text and shows nothing; a
  // descriptor no library serves answers 301.
  SetStdOutputSink(nullptr, 0);
  EXPECT_EQ(WriteToFd(ctx(), kFdConsole3, "x", 1), kOk);
  EXPECT_EQ(WriteToFd(ctx(), 7, "x", 1), kErrBadFileID);
  intptr_t word = 0;
  uint8_t end = 9;
  EXPECT_EQ(IoControlFd(ctx(), kFdOut, kIoEndOfFile, 0, &word, &end), kOk);
  EXPECT_EQ(IoControlFd(ctx(), 7, kIoEndOfFile, 0, &word, &end), kErrBadFileID);
}

TEST_F(RuntimeBlock, LapackShadowsTheEnginesNativesAndFeaturesAreNamed) {
  // The run-time table, then the static tables' two parts.
  ASSERT_EQ(ctx()->registryCount, 3u);
  EXPECT_EQ(ctx()->Registry()[0].table, RuntimeNativeTable());
  EXPECT_EQ(ctx()->Registry()[1].table, EngineStaticTable());
  EXPECT_EQ(ctx()->Registry()[2].table, AppStaticTable());
  const NativeFunctionRecord* inv = FindLibraryRecord(ctx(), "inv", nullptr, 0, nullptr);
  ASSERT_NE(inv, nullptr);
  EXPECT_EQ(inv->function, reinterpret_cast<void*>(&LapackInv));
  EXPECT_EQ(test::EvaluateToText(ctx(), "hasfeature('fileio')"), "true");
  EXPECT_EQ(test::EvaluateToText(ctx(), "hasfeature('fileIO')"), "false");
  EXPECT_EQ(test::EvaluateToText(ctx(), "hasfeature('threads')"), "false");
}

class Window : public RuntimeWindow {
 public:
  void DrawNow() override { draws++; }
  void Quit() override { quits++; }
  int draws = 0;
  int quits = 0;
};

TEST_F(RuntimeBlock, DrawnowAndQuitActOnTheBoundWindow) {
  // Without a window drawnow does nothing and quit ends the run quietly,
  // inside try too.
  EXPECT_EQ(test::EvaluateToText(ctx(), "drawnow; 1"), "1");
  EXPECT_EQ(test::EvaluateToText(ctx(), "quit; 1"), "error 506");
  EXPECT_EQ(test::EvaluateToText(ctx(), "try, quit, catch, end; 1"), "error 506");
  Window window;
  BindRuntimeWindow(&window);
  EXPECT_EQ(test::EvaluateToText(ctx(), "drawnow; quit; 2"), "2");
  BindRuntimeWindow(nullptr);
  EXPECT_EQ(window.draws, 1);
  EXPECT_EQ(window.quits, 1);
  // The debugger's natives answer from the table (at the command line the
  // call chain is empty: no element).
  EXPECT_EQ(test::EvaluateToText(ctx(), "size(dbstack)"), "[0,1]");
  EXPECT_EQ(test::EvaluateToText(ctx(), "isempty(dbstack)"), "true");
}

std::vector<std::string> g_spawned;

bool FakeSpawn(const std::string& program, const std::string& argument) {
  g_spawned.push_back(program + "|" + argument);
  return argument != "fail";
}

TEST_F(RuntimeBlock, LaunchurlHandsTheTextAsOneArgument) {
  g_spawned.clear();
  SetUrlSpawner(&FakeSpawn);
  EXPECT_EQ(test::EvaluateToText(ctx(), "launchurl('http://example.org')"), "true");
  EXPECT_EQ(test::EvaluateToText(ctx(), "launchurl('fail')"), "false");
  EXPECT_EQ(test::EvaluateToText(ctx(), "launchurl('a b; rm -rf ~ | $(x) `y`'); 3"), "3");
  EXPECT_EQ(test::EvaluateToText(ctx(), "launchurl(42)"), "error 44");
  SetUrlSpawner(nullptr);
  EXPECT_EQ(g_spawned, (std::vector<std::string>{"xdg-open|http://example.org", "xdg-open|fail",
                                                 "xdg-open|a b; rm -rf ~ | $(x) `y`"}));
}

// The value of the text run as the runner runs it with growth on: a native
// that lacks room runs again at once (a refused request is refused once, so
// the area need not grow), or "error N".
std::string EvaluateRetrying(EngineContext* ctx, const std::string& text) {
  int32_t results = 1;
  SetMemoryRetry(ctx, true);
  ErrCode e = RunTextInFunctionScope(ctx, text.data(), static_cast<int32_t>(text.size()), &results);
  if (e == kOk) e = kStatusSuspended;
  while (e == kStatusSuspended || MemoryRetryPending(ctx)) {
    SetMemoryRetry(ctx, true);
    e = ExecuteBytecode(ctx, 0);
  }
  SetMemoryRetry(ctx, false);
  if (e) return "error " + std::to_string(e);
  std::string value = test::DumpTop(ctx);
  Drop(ctx);
  return value;
}

// Whichever request of a call is refused, the opener starts only in a call
// that gives its answer: one without room for it starts nothing and runs
// again.
TEST_F(RuntimeBlock, LaunchurlStartsTheOpenerOnce) {
  SetUrlSpawner(&FakeSpawn);
  for (uint64_t k = 1;; ++k) {
    g_spawned.clear();
    WatchRoomRequests(k);
    const std::string answer = EvaluateRetrying(ctx(), "launchurl('page')");
    const bool refused = RoomRequestRefused();
    StopWatchingRoomRequests();
    EXPECT_EQ(g_spawned.size(), answer == "true" ? 1u : 0u) << k << " " << answer;
    if (!refused) break;
  }
  SetUrlSpawner(nullptr);
}

}  // namespace
}  // namespace vke
