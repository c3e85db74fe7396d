// kvcall: a handler of instance 0 calls the functions instance 1 offers by
// name; the target's standard inputs come first, the descriptor's outputs
// are stored for the target (which is marked for a redraw), the rest are
// the caller's; and the failures that leave both instances as they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/instances.hpp"
#include "app/kv_library.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "app/undo_values.hpp"
#include "engine/room_requests.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

class KvCall : public ::testing::Test {
 protected:
  KvCall() : h({"a", "b"}) {}

  void SetUp() override {
    ASSERT_EQ(h.Compile("function a = call()\n a = kvcall(1, 'getsum', 10);\n"
                        "function call2()\n kvcall(1, 'getsum', 10);\n"
                        "function a = missing()\n a = kvcall(1, 'nosuch');\n"
                        "function a = overlong()\n a = kvcall(1, repmat('g', 1, 300));\n"
                        "function a = elsewhere()\n a = kvcall(9, 'getsum');\n"
                        "function a = unnamed()\n a = kvcall(1, 'unnamed');\n"
                        "function a = few()\n a = kvcall(1, 'few');\n"
                        "function a = failing()\n a = kvcall(1, 'failing');\n"
                        "function a = logged(path)\n f = fopen(path, 'w'); fprintf(f, 'x');\n"
                        " fclose(f);\n a = kvcall(1, 'getsum', 10);\n"),
              kOk);
    const std::string other =
        "function (t, r) = sum2(x, y)\n t = x + y; r = 2 * t; fprintf('summed\\n');\n"
        "function varargout = nothing()\n varargout = {};\n"
        "function (t, r) = fails(x)\n t = x(5); r = 1;\n";
    int32_t library;
    ASSERT_EQ(DefineKVLibrary(h.ctx(), "other.kv", other.data(), static_cast<int32_t>(other.size()),
                              &library),
              kOk);
    ASSERT_EQ(CreateInstance(h.block(), &target), kOk);
    ASSERT_EQ(target, 1);
    // The target's undo set holds a and b too.
    void* undo = h.block()->UndoArea();
    ASSERT_EQ(RemoveUndoSet(undo, target), kOk);
    ASSERT_EQ(AddUndoSet(undo, target), kOk);
    for (int32_t v = kVarPl; v <= kVarHelp; v++)
      ASSERT_EQ(AddUndoSetVariable(undo, target, v, false), kOk);
    for (int32_t v : {a(), b()}) ASSERT_EQ(AddUndoSetVariable(undo, target, v, false), kOk);
    ASSERT_EQ(ResetUndoSet(undo, target), kOk);
    library_ = static_cast<uint32_t>(library);
  }

  // Instance 0 with fn as a handler whose output goes to a, then instance 1
  // with its callable functions.
  ErrCode Run(const std::string& fn, bool output = true) {
    ElementListBuilder l;
    l.Instance(0, "app.kv", h.library())
        .Handler(kElemInit,
                 {h.Fn(fn), output ? std::vector<int32_t>{a()} : std::vector<int32_t>{}});
    const HandlerRequest request = test::RequestFor(l);
    l.Instance(target, "other.kv", library_)
        .TextHandler(kElemFunction, "getsum", {h.Fn("sum2"), {b()}, {a()}})
        .TextHandler(kElemFunction, "unnamed", {-1, {b()}})
        .TextHandler(kElemFunction, "few", {h.Fn("nothing"), {b()}})
        .TextHandler(kElemFunction, "failing", {h.Fn("fails"), {b()}, {kVarTitle}});
    EXPECT_EQ(h.Load(l), kOk);
    return h.Run(request);
  }

  // The target's value of a variable, -1 when it has none.
  double TargetScalar(int32_t variable) {
    if (PushUndoValue(h.block(), target, 0, variable) != kOk) return -1;
    const std::vector<double> v = test::PopNumbers(h.ctx());
    return v.empty() ? -1 : v[0];
  }

  int32_t a() const { return h.Var("a"); }
  int32_t b() const { return h.Var("b"); }

  FamilyHost h;
  uint32_t library_ = 0;
  int32_t target = 0;
};

TEST_F(KvCall, OutputsGoToTheTargetAndTheRestToTheCaller) {
  ASSERT_EQ(PushRealScalar(h.ctx(), 5), kOk);
  ASSERT_EQ(StoreUndoValue(h.block(), target, 0, a()), kOk);
  ASSERT_EQ(Run("call"), kOk);
  EXPECT_EQ(h.Scalar(a()), 30);  // 2 * (5 + 10)
  EXPECT_EQ(TargetScalar(b()), 15);
  InstanceRecord* r = FindInstance(h.block(), target);
  EXPECT_EQ(r->redrawPending, 1);
  EXPECT_EQ(r->changed, 1);
  EXPECT_FALSE(h.HasValue(b()));  // the caller's own b is not touched
  // As a statement, the target's outputs only.
  ASSERT_EQ(PushRealScalar(h.ctx(), 1), kOk);
  ASSERT_EQ(StoreUndoValue(h.block(), target, 0, a()), kOk);
  ASSERT_EQ(Run("call2", false), kOk);
  EXPECT_EQ(TargetScalar(b()), 11);
  EXPECT_EQ(h.Scalar(a()), 30);
}

TEST_F(KvCall, FailuresLeaveBothInstancesAsTheyWere) {
  ASSERT_EQ(h.SetScalar(a(), -1), kOk);
  EXPECT_EQ(Run("missing"), kKvUndefElement);
  // A name longer than any is the name of none.
  EXPECT_EQ(Run("overlong"), kKvUndefElement);
  EXPECT_EQ(Run("elsewhere"), kKvNonexistentInstance);
  EXPECT_EQ(Run("unnamed"), kErrIllegal);
  // A function cannot give fewer values than asked: the call fails before
  // anything is stored.
  EXPECT_EQ(Run("few"), kErrNotEnoughVarargoutEl);
  EXPECT_EQ(Run("failing"), kErrIndexOutOfRange);
  EXPECT_EQ(h.Scalar(a()), -1);
  EXPECT_EQ(TargetScalar(b()), -1);
  EXPECT_EQ(FindInstance(h.block(), target)->redrawPending, 0);
  EXPECT_EQ(test::EntryCount(h.ctx()), 0);
}

// A handler that wrote a file is not run again, so the call's outputs that
// found no room in the target's undo buffer are stored once it has grown,
// with the results the function gave: each request refused in turn, the
// function runs once and its outputs land.
TEST_F(KvCall, OutputsWithoutRoomAreStoredOnceTheBufferHasGrown) {
  const std::string path = ::testing::TempDir() + "kv_call_logged.txt";
  ASSERT_EQ(h.Compile("function a = run()\n a = logged('" + path + "');\n"), kOk);
  for (uint64_t k = 1;; ++k) {
    ASSERT_EQ(PushRealScalar(h.ctx(), 5), kOk);
    ASSERT_EQ(StoreUndoValue(h.block(), target, 0, a()), kOk);
    ASSERT_EQ(h.SetScalar(a(), -1), kOk);
    h.ClearOutput();
    // Each refusal grows the block a little, far below its ceiling.
    h.SetNextGrowth(h.size() + (64u << 10));
    WatchRoomRequests(k);
    const ErrCode e = Run("run");
    RoomKind kind;
    const bool refused = RoomRequestRefused(&kind);
    StopWatchingRoomRequests();
    if (!refused) break;
    const std::string place = std::to_string(k) + " " + RoomKindName(kind);
    ASSERT_EQ(e, kOk) << place;
    EXPECT_EQ(h.Scalar(a()), 30) << place;
    EXPECT_EQ(TargetScalar(b()), 15) << place;
    EXPECT_EQ(h.Output(1), "summed\n") << place;
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vke
