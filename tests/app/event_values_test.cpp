// The event values: the flag bits every code needs, the values computed from
// the event state, the complex quotient of _kz, and the natives with and
// without a current instance.
#include "app/event_values.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/name_buffer.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/app/block_host.hpp"

namespace vke {
namespace {

using test::BlockHost;

constexpr uint32_t kAllEventBits = (1u << 15) - 1;

// A value popped from the stack: class, size and elements.
struct Popped {
  ValueClass cls = ValueClass::kOther;
  bool complex = false;
  int32_t rows = 0, cols = 0;
  std::vector<double> re, im;
};

Popped Pop(EngineContext* ctx) {
  Popped p;
  const NumericView v = ViewNumeric(ctx, 0);
  p.cls = v.cls;
  p.complex = v.complex;
  p.rows = v.shape.dims[0];
  p.cols = v.shape.dims[1];
  for (int32_t i = 0; i < v.shape.count; i++) {
    if (v.cls == ValueClass::kLogical) {
      p.re.push_back(v.elements[i]);
    } else if (v.cls == ValueClass::kChar) {
      p.re.push_back(Load<uint16_t>(v.elements + 2 * i));
    } else {
      p.re.push_back(Load<double>(v.elements + 8 * i));
      if (v.complex) p.im.push_back(Load<double>(v.elements + 8 * (v.shape.count + i)));
    }
  }
  Drop(ctx);
  return p;
}

std::string AsText(const Popped& p) {
  EXPECT_EQ(p.cls, ValueClass::kChar);
  return std::string(p.re.begin(), p.re.end());
}

class EventValues : public ::testing::Test {
 protected:
  Popped Read(int32_t code) {
    EXPECT_EQ(GetEventVariable(h.block(), code), kOk);
    return Pop(h.ctx());
  }
  // Calls a native of the application's table by its name.
  Popped CallNative(const char* name) {
    const NativeFunctionRecord* rec = FindLibraryRecord(h.ctx(), name, nullptr, 0, nullptr);
    EXPECT_NE(rec, nullptr) << name;
    if (!rec) return {};
    const auto fn = reinterpret_cast<NativeFn>(const_cast<void*>(rec->function));
    EXPECT_EQ(CallNativeFunction(h.ctx(), fn, 0, 1), kOk) << name;
    return Pop(h.ctx());
  }
  void SetPoints() {
    EventState& ev = h.block()->event;
    ev.x = 3, ev.y = 4;
    ev.x0 = 1, ev.y0 = 2, ev.z0 = 5;
    ev.x1 = 6, ev.y1 = 8, ev.z1 = 9;
    ev.dx = 0.5, ev.dy = 0.25;
    ev.q[0] = 7, ev.q[1] = -7;
    ev.id = 11, ev.nb = 12, ev.ix = 13;
  }

  BlockHost h;
};

// The flag bits each code needs, as alternatives: the value is there when
// all bits of one alternative are set and [] when any bit of each is missing.
struct Condition {
  int32_t code;
  std::vector<uint32_t> alternatives;
};

TEST_F(EventValues, EveryCodeNeedsItsBits) {
  const uint32_t z = kEventX | kEventY, z0 = kEventX0 | kEventY0, z1 = kEventX1 | kEventY1;
  const Condition conditions[] = {
      {kVarZ, {z}},
      {kVarZ0, {z0}},
      {kVarZ1, {z1}},
      {kVarX, {kEventX}},
      {kVarX0, {kEventX0}},
      {kVarX1, {kEventX1}},
      {kVarY, {kEventY}},
      {kVarY0, {kEventY0}},
      {kVarY1, {kEventY1}},
      {kVarTheta, {z}},
      {kVarTheta0, {z0}},
      {kVarTheta1, {z1}},
      {kVarRho, {z}},
      {kVarRho0, {z0}},
      {kVarRho1, {z1}},
      {kVarP0, {kEventX0}},
      {kVarP1, {kEventX1}},
      {kVarKx, {kEventX | kEventX1}},
      {kVarKy, {kEventY | kEventY1}},
      {kVarKz, {z | z1}},
      {kVarDx, {kEventDxDy, kEventX | kEventX1}},
      {kVarDy, {kEventDxDy, kEventY | kEventY1}},
      {kVarDz, {kEventDxDy, z | z1}},
      {kVarQ, {kEventQ}},
      {kVarM, {0}},
      {kVarId, {kEventId}},
      {kVarNb, {kEventNb}},
      {kVarIx, {kEventIx}},
  };
  SetPoints();
  EventState& ev = h.block()->event;
  for (const Condition& c : conditions) {
    SCOPED_TRACE(StandardVariableName(c.code));
    ev.flags = kAllEventBits;
    EXPECT_FALSE(Read(c.code).re.empty());
    for (uint32_t bits : c.alternatives) {
      ev.flags = bits;
      EXPECT_FALSE(Read(c.code).re.empty());
      for (uint32_t bit = 1; bit & kAllEventBits; bit <<= 1) {
        if (!(bits & bit)) continue;
        ev.flags = bits & ~bit;
        EXPECT_TRUE(Read(c.code).re.empty()) << "without bit " << bit;
      }
    }
  }
  ev.flags = kAllEventBits;
  for (int32_t code : {0, 1, 27, 31, 32, 41, 100, -5}) EXPECT_TRUE(Read(code).re.empty()) << code;
}

TEST_F(EventValues, ValuesFollowTheEventState) {
  SetPoints();
  EventState& ev = h.block()->event;
  ev.flags = kAllEventBits & ~kEventDxDy & ~kEventQPair & ~kEventM;

  Popped p = Read(kVarZ);
  EXPECT_TRUE(p.complex);
  EXPECT_EQ(p.re, std::vector<double>{3});
  EXPECT_EQ(p.im, std::vector<double>{4});
  EXPECT_DOUBLE_EQ(Read(kVarTheta1).re[0], std::atan2(8.0, 6.0));
  EXPECT_DOUBLE_EQ(Read(kVarRho).re[0], 5);
  EXPECT_DOUBLE_EQ(Read(kVarDx).re[0], 3);  // from the points
  EXPECT_EQ(Read(kVarQ).re, std::vector<double>{7});
  p = Read(kVarM);
  EXPECT_EQ(p.cls, ValueClass::kLogical);
  EXPECT_EQ(p.re, std::vector<double>{0});

  // Point columns take what the bits give: three, two or one element.
  p = Read(kVarP1);
  EXPECT_EQ(p.rows, 3);
  EXPECT_EQ(p.re, (std::vector<double>{6, 8, 9}));
  ev.flags &= ~kEventZ0;
  EXPECT_EQ(Read(kVarP0).re, (std::vector<double>{1, 2}));
  ev.flags &= ~kEventY0;
  EXPECT_EQ(Read(kVarP0).re, std::vector<double>{1});

  // A stored displacement wins over the points; a pair of q values is a
  // column; _m is the bit itself.
  ev.flags |= kEventDxDy | kEventQPair | kEventM;
  EXPECT_DOUBLE_EQ(Read(kVarDx).re[0], 0.5);
  p = Read(kVarDz);
  EXPECT_EQ(p.re, std::vector<double>{0.5});
  EXPECT_EQ(p.im, std::vector<double>{0.25});
  p = Read(kVarQ);
  EXPECT_EQ(p.rows, 2);
  EXPECT_EQ(p.re, (std::vector<double>{7, -7}));
  EXPECT_EQ(Read(kVarM).re, std::vector<double>{1});

  // A point on the real axis is a real value.
  ev.y = 0;
  p = Read(kVarZ);
  EXPECT_FALSE(p.complex);
  EXPECT_EQ(p.re, std::vector<double>{3});
}

TEST_F(EventValues, ComplexQuotientScalesAndHandlesZeroDivisors) {
  EventState& ev = h.block()->event;
  ev.flags = kEventX | kEventY | kEventX1 | kEventY1;
  auto quotient = [&](double a, double b, double c, double d) {
    ev.x = a, ev.y = b, ev.x1 = c, ev.y1 = d;
    return Read(kVarKz);
  };
  // (1 + 2i) / (3 + 4i) = 0.44 + 0.08i, with either part of the divisor the
  // larger.
  Popped p = quotient(3, 4, 1, 2);
  EXPECT_NEAR(p.re[0], 0.44, 1e-15);
  EXPECT_NEAR(p.im[0], 0.08, 1e-15);
  p = quotient(4, 3, 2, 1);
  EXPECT_NEAR(p.re[0], 0.44, 1e-15);
  EXPECT_NEAR(p.im[0], -0.08, 1e-15);
  // Parts near the largest double do not overflow in between.
  p = quotient(1e300, 1e300, 1e300, -1e300);
  EXPECT_TRUE(p.complex);
  EXPECT_NEAR(p.re[0], 0, 1e-15);
  EXPECT_NEAR(p.im[0], -1, 1e-15);
  // A zero divisor: c / 0 for a real dividend, else NaN + NaN i.
  p = quotient(0, 0, 2, 0);
  EXPECT_FALSE(p.complex);
  EXPECT_EQ(p.re[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(quotient(0, 0, -2, 0).re[0], -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(quotient(0, 0, 0, 0).re[0]));
  p = quotient(0, 0, 1, 1);
  ASSERT_TRUE(p.complex);
  EXPECT_TRUE(std::isnan(p.re[0]) && std::isnan(p.im[0]));
}

TEST_F(EventValues, NativesReadTheCurrentInstance) {
  SetPoints();
  EventState& ev = h.block()->event;
  ev.flags = kAllEventBits;
  KVContextBlock* b = h.block();
  InstanceRecord* first = FindInstance(b, 0);
  ASSERT_NE(first, nullptr);

  // Each event native gives what the reader gives for its code.
  for (int32_t code = kVarZ; code <= kVarIx; code++) {
    if (code == kVarAction) continue;
    const char* name = StandardVariableName(code);
    SCOPED_TRACE(name);
    const Popped expected = Read(code);
    const Popped got = CallNative(name);
    EXPECT_EQ(got.cls, expected.cls);
    EXPECT_EQ(got.re, expected.re);
    EXPECT_EQ(got.im, expected.im);
  }
  EXPECT_EQ(CallNative("firstrun").re, std::vector<double>{0});
  first->firstRun = 1;
  EXPECT_EQ(CallNative("firstrun").re, std::vector<double>{1});

  b->handlerKind = kElemDraw;
  EXPECT_EQ(AsText(CallNative("_action")), "draw");
  first->dragRedraw = 1;  // the redraw after a drag step
  EXPECT_EQ(AsText(CallNative("_action")), "");
  first->dragRedraw = 0;
  // Kinds without a name, the second drag kind among them, give "".
  for (uint32_t kind : {uint32_t{kElemSecondDrag}, uint32_t{kElemMake}, 0u}) {
    b->handlerKind = kind;
    EXPECT_EQ(AsText(CallNative("_action")), "") << kind;
  }

  // Without a current instance every value is [], _m too; firstrun is false
  // and _action still names the kind.
  b->nativeCall.instanceId = 77;
  b->handlerKind = kElemMouseUp;
  for (const char* name : {"_x", "_z", "_m", "_id", "_q", "_kz"})
    EXPECT_TRUE(CallNative(name).re.empty()) << name;
  EXPECT_EQ(CallNative("firstrun").re, std::vector<double>{0});
  EXPECT_EQ(AsText(CallNative("_action")), "mouseup");

  // A native called without the block's context refuses.
  EXPECT_EQ(EventValueNative<kVarX>(h.ctx(), 0, 1, 0), kErrBadContext);
  EXPECT_EQ(ActionNative(h.ctx(), 0, 1, 0), kErrBadContext);
  EXPECT_EQ(FirstRunNative(h.ctx(), 0, 1, 0), kErrBadContext);
}

}  // namespace
}  // namespace vke
