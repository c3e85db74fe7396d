// The subplot-setting natives on a figure whose subplot 0 is drawing: scale
// (queries, kinds from the table and from numbers, released, 3-D and locked
// limits, malformed inputs), plotoption, title and label, legend entries and
// their room, scalefactor and daspect, and the frame's flags and context.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/scale.hpp"
#include "tests/app/figure_app.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

struct Natives : test::FigureApp {
  Natives() : FigureApp(1, 1) { EXPECT_TRUE(BeginSubplot(0)); }
  SubplotRecord& s() { return subplot(0); }
  std::string Title() {
    const char* t = reinterpret_cast<const char*>(s().title);
    return std::string(t, strnlen(t, sizeof s().title));
  }
  std::string Label(int axis) {
    const AxisLabel label = GetAxisLabel(s(), axis);
    return std::string(label.text, label.length);
  }
};

TEST(ScaleNative, QueriesGiveTheVisibleLimitsAndTheKindText) {
  Natives n;
  UpdateAutoLimits(&n.s(), V{0, 10}.data(), V{0, 1}.data(), nullptr, 2);
  ASSERT_EQ(n.Run("scale", 1), kOk);
  EXPECT_EQ(n.Numbers(), V{});  // automatic axes report nothing
  EXPECT_EQ(n.callFlags(), 0u);
  ASSERT_EQ(n.Text("loglog").Row({1, 100, 1, 10}).Run("scale"), kOk);
  EXPECT_EQ(n.callFlags(), kCallFlagDrew);
  EXPECT_EQ(test::EntryCount(n.ctx()), 0);
  ASSERT_EQ(n.Run("scale", 2), kOk);
  const V limits = n.Numbers();
  EXPECT_EQ(test::PopText(n.ctx()), "loglog");
  ASSERT_EQ(limits.size(), 4u);
  // Released limits leave a margin: the visible range holds them.
  EXPECT_LT(limits[0], 1);
  EXPECT_GT(limits[1], 100);
  EXPECT_LT(limits[2], 1);
  EXPECT_GT(limits[3], 10);
  // Log x in either bit reads "log"; dB y "db".
  n.s().scaleKind = kScaleLogX2 | kScaleDbY;
  ASSERT_EQ(n.Run("scale", 2), kOk);
  n.Numbers();
  EXPECT_EQ(test::PopText(n.ctx()), "logdb");
  // A 3-D subplot gives its six stored limits.
  n.s().is3d = 1;
  ASSERT_EQ(n.Row({-1, 1, -2, 2, -3, 3}).Run("scale"), kOk);
  ASSERT_EQ(n.Run("scale", 1), kOk);
  EXPECT_EQ(n.Numbers(), (V{-1, 1, -2, 2, -3, 3}));
  // Nothing asked, nothing done; outputs with inputs are refused.
  EXPECT_EQ(n.Run("scale", 0), kOk);
  EXPECT_EQ(test::EntryCount(n.ctx()), 0);
  EXPECT_EQ(n.Row({0, 1}).Run("scale", 1), kErrTooManyArgin);
}

TEST(ScaleNative, KindsFromTheTableNamesAndNumbers) {
  Natives n;
  ASSERT_EQ(n.Text("linlin/logdb").Run("scale"), kOk);
  EXPECT_EQ(n.s().scaleKind, 0u);
  EXPECT_EQ(n.s().applicableScaleKinds, 0x13u);
  EXPECT_EQ(n.Text("lin/log").Run("scale"), kErrUnknownOpt);
  EXPECT_EQ(n.Text("linlin/equal").Run("scale"), kErrUnknownOpt);
  EXPECT_EQ(n.Text("loglogx").Run("scale"), kErrUnknownOpt);
  // Numbers: the bits of a flags word (1 log x, 0x40 log y, 0x80 dB,
  // 0x1000 equal); the second gives the applicable kinds.
  Natives m;
  ASSERT_EQ(m.Row({0x1041}).Row({0x81}).Run("scale"), kOk);
  EXPECT_EQ(m.s().scaleKind, kScaleLogX | kScaleLogY | kScaleEqual);
  EXPECT_EQ(m.s().applicableScaleKinds, kScaleLogX | kScaleDbY);
  EXPECT_EQ(m.Row({1}).Row({1}).Row({1}).Run("scale"), kErrBadArg);
}

TEST(ScaleNative, MenuChangesOfLogarithmicBitsSurviveLaterCalls) {
  Natives n;
  ASSERT_EQ(n.Text("loglog").Run("scale"), kOk);
  EXPECT_EQ(n.s().scaleKind, 3u);
  SetScaleKindBits(&n.s(), 0, kScaleLogY);  // the user's menu
  ASSERT_EQ(n.Text("loglog").Run("scale"), kOk);
  EXPECT_EQ(n.s().scaleKind, kScaleLogX);
}

TEST(ScaleNative, MalformedLimitsChangeNothing) {
  Natives n;
  EXPECT_EQ(n.Row({0, 1}).Text("loglog").Run("scale"), kErrBadArg);
  EXPECT_EQ(n.Text("loglog").Row({0, 1, 2}).Run("scale"), kErrBadArg);
  EXPECT_EQ(n.Text("loglog").Row({}).Run("scale"), kErrBadArg);
  EXPECT_EQ(n.Text("loglog").Text("lock").Row({1, 2}).Run("scale"), kOk);
  EXPECT_EQ(n.s().scaleKind, 3u);
  Natives m;
  EXPECT_EQ(m.Text("loglog").Row({0, 1, 2, 3, 4}).Run("scale"), kErrBadArg);
  EXPECT_EQ(m.s().scaleKind, 0u);
  EXPECT_EQ(m.s().scaleKindSet, 0);
  EXPECT_EQ(m.callFlags(), 0u);
}

TEST(ScaleNative, ReleasedFixedAndLockedLimits) {
  Natives n;
  ASSERT_EQ(n.Row({0, 10, 5, 5}).Run("scale"), kOk);  // y has no range
  EXPECT_EQ(n.s().scaleState[kAxisX], kScaleReleased);
  EXPECT_EQ(n.s().scaleState[kAxisY], kScaleAuto);
  // Six limits make the subplot 3-D.
  ASSERT_EQ(n.Row({0, 1, 0, 2, 0, 3}).Run("scale"), kOk);
  EXPECT_EQ(n.s().is3d, 1);
  EXPECT_EQ(n.s().scaleState[kAxisZ], kScaleReleased);
  // In a 3-D subplot two or four limits are fixed.
  ASSERT_EQ(n.Row({-5, 5}).Run("scale"), kOk);
  EXPECT_EQ(n.s().scaleState[kAxisX], kScaleFixed);

  // Locked: fixed at the given limits, unless the user zoomed elsewhere.
  Natives l;
  ASSERT_EQ(l.Text("lock").Row({0, 10, 0, 1}).Run("scale"), kOk);
  EXPECT_TRUE(IsScaleLocked(l.s()));
  EXPECT_EQ((V{LimitMin(l.s(), kAxisX), LimitMax(l.s(), kAxisX)}), (V{0, 10}));
  SetFixedLimits(&l.s(), 2, 4, 0, 1);  // a zoom
  ASSERT_EQ(l.Text("lock").Row({0, 10, 0, 1}).Run("scale"), kOk);
  EXPECT_EQ((V{LimitMin(l.s(), kAxisX), LimitMax(l.s(), kAxisX)}), (V{2, 4}));

  // "lock" alone before the first drawing fixes what the data gave.
  Natives f;
  UpdateAutoLimits(&f.s(), V{0, 10}.data(), V{0, 1}.data(), nullptr, 2);
  ASSERT_EQ(f.Text("lock").Run("scale"), kOk);
  EXPECT_TRUE(IsScaleLocked(f.s()));
  f.s().drawn = 1;
  ReleaseScales(&f.s());
  ASSERT_EQ(f.Text("lock").Run("scale"), kOk);
  EXPECT_FALSE(IsScaleLocked(f.s()));
}

TEST(PlotOptionNative, NamesSetAndClearOptionBits) {
  Natives n;
  const uint32_t start = n.s().optionWord;
  ASSERT_EQ(n.Text("nolegend").Run("plotoption"), kOk);
  EXPECT_EQ(n.s().optionWord, start & ~kOptLegend);
  ASSERT_EQ(n.Text("bllegend").Run("plotoption"), kOk);
  EXPECT_EQ(n.s().optionWord & (kOptLegend | kOptLegendCorner), kOptLegendCorner);
  ASSERT_EQ(n.Text("xygrid").Run("plotoption"), kOk);
  EXPECT_EQ(n.s().optionWord & 0x44, 0x44u);
  ASSERT_EQ(n.Text("nogrid").Run("plotoption"), kOk);
  EXPECT_EQ(n.s().optionWord & kOptGridKindMask, 0x1000u);
  EXPECT_EQ(n.s().gridSet, 1);
  ASSERT_EQ(n.Text("fullgrid").Run("plotoption"), kOk);
  EXPECT_EQ(n.s().optionWord & kOptGridKindMask, 0x4000u);
  ASSERT_EQ(n.Text("fill3d").Run("plotoption"), kOk);
  EXPECT_TRUE(n.s().viewFlags & 0x10);
  for (const char* bad : {"notrlegend", "nofullgrid", "no", "legends", "trlegend2"}) {
    EXPECT_EQ(n.Text(bad).Run("plotoption"), kErrUnknownOpt) << bad;
  }
  EXPECT_EQ(n.Row({1}).Run("plotoption"), kErrWrongTypeOverload);
  // After the first drawing the options stay as the user set them.
  n.s().drawn = 1;
  ASSERT_EQ(n.Text("noframe").Run("plotoption"), kOk);
  EXPECT_TRUE(n.s().optionWord & kOptFrame);
}

TEST(TextSettingNatives, TitleAndLabelsAreCutToTheirFields) {
  Natives n;
  const std::string seventy(70, 'x');
  ASSERT_EQ(n.Text(seventy.c_str()).Run("title"), kOk);
  EXPECT_EQ(n.Title(), std::string(64, 'x'));
  ASSERT_EQ(n.Text("").Run("title"), kOk);
  EXPECT_EQ(n.Title(), "");
  // A label keeps 28 bytes, past the 16 of its first field.
  ASSERT_EQ(n.Text("frequency [rad/s]")
                .Text("a very long y label beyond its room")
                .Text("angular velocity [deg/s]")
                .Run("label"),
            kOk);
  EXPECT_EQ(n.Label(0), "frequency [rad/s]");
  EXPECT_EQ(n.Label(1), "a very long y label beyond i");
  EXPECT_EQ(n.Label(2), "angular velocity [deg/s]");
  // Labels not given stay.
  ASSERT_EQ(n.Text("x").Run("label"), kOk);
  EXPECT_EQ(n.Label(1), "a very long y label beyond i");
  EXPECT_EQ(n.Label(2), "angular velocity [deg/s]");
  EXPECT_EQ(n.Text("x").Row({1}).Run("label"), kErrWrongTypeOverload);
  EXPECT_EQ(n.Label(0), "x");
}

TEST(LegendNative, OneEntryPerLineWithItsStyle) {
  Natives n;
  n.s().optionWord &= ~kOptLegend;
  ASSERT_EQ(n.Text("sine\ncosine\n").Text("r,b").Run("legend"), kOk);
  const auto cmds = n.Commands(0);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].header.code, kCmdLegendEntry);
  const V& d = cmds[0].data;
  ASSERT_EQ(d.size(), 3u + 4 + 2);
  EXPECT_EQ(V(d.begin(), d.begin() + 7), (V{0, 2, 12, 4, 0xFF0000, 1, 0x0000FF}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[7]), 12), "sine\ncosine\n");
  EXPECT_TRUE(n.s().optionWord & kOptLegend);
  // An empty text is one entry; a bad style writes nothing.
  ASSERT_EQ(n.Text("").Run("legend"), kOk);
  EXPECT_EQ(n.Commands(0)[1].data[1], 1);
  EXPECT_EQ(n.Text("a").Text("z").Run("legend"), kErrUnknownOpt);
  EXPECT_EQ(n.Commands(0).size(), 2u);
}

TEST(LegendNative, RoomIsCheckedBeforeWriting) {
  // "ab": 6 header doubles, 3, 2 for the entry and 1 for the text; a call
  // that fills the room exactly fits.
  Natives n;
  const uint32_t used = n.used();
  n.LimitRoom(11);
  EXPECT_EQ(n.Text("ab").Run("legend"), kKvPlotOverflow);
  EXPECT_EQ(n.used(), used);
  n.LimitRoom(12);
  EXPECT_EQ(n.Text("ab").Run("legend"), kOk);
  EXPECT_EQ(n.used(), used + 12);
}

TEST(FactorNatives, ScaleFactorsAndDataAspect) {
  Natives n;
  ASSERT_EQ(n.Row({2}).Run("scalefactor"), kOk);
  ASSERT_EQ(n.Run("scalefactor", 1), kOk);
  EXPECT_EQ(n.Numbers(), (V{2, 2, 2}));
  ASSERT_EQ(n.Row({2, 3}).Run("scalefactor", 1), kOk);
  EXPECT_EQ(n.Numbers(), (V{2, 3, 1}));
  EXPECT_EQ(n.Row({1, 2, 3, 4}).Run("scalefactor"), kErrBadSize);
  EXPECT_EQ(n.Row({}).Run("scalefactor"), kErrBadSize);
  EXPECT_EQ(n.Text("a").Run("scalefactor"), kErrWrongTypeOverload);
  ASSERT_EQ(n.Row({1, 2, 4}).Run("daspect"), kOk);
  EXPECT_EQ(n.s().aspectAuto, 0);
  ASSERT_EQ(n.Run("daspect"), kOk);  // a statement without input answers
  EXPECT_EQ(n.Numbers(), (V{1, 2, 4}));
  ASSERT_EQ(n.Row({}).Run("daspect"), kOk);
  EXPECT_EQ(n.s().aspectAuto, 1);
  EXPECT_EQ(n.Row({1, 2}).Run("daspect"), kErrBadSize);
}

TEST(SettingNatives, NeedTheDrawingSubplot) {
  Natives n;
  ASSERT_EQ(n.Close(), kOk);
  n.block()->nativeCall.flags = 0;
  for (const char* name : {"title", "label", "legend", "plotoption"}) {
    EXPECT_EQ(n.Text("x").Run(name), kErrBadContext) << name;
  }
  EXPECT_EQ(n.Run("scale", 1), kErrBadContext);
  EXPECT_EQ(n.callFlags(), 0u);
}

}  // namespace
}  // namespace vke
