// The compiled element list and the instances: checking a list, finding
// instances and elements across language sections, file names, removal of
// elements, creating and removing instances, and their info texts.
#include "app/instances.hpp"

#include <gtest/gtest.h>

#include <string>

#include "app/element_list.hpp"
#include "app/instance_info.hpp"
#include "app/name_buffer.hpp"
#include "app/undo_buffer.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/object_store.hpp"
#include "graphics/port.hpp"
#include "tests/app/block_host.hpp"
#include "tests/app/element_list_builder.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::BlockHost;
using test::Descriptor;
using test::ElementListBuilder;

std::string TopText(EngineContext* ctx) {
  const NumericView v = ViewNumeric(ctx, 0);
  EXPECT_EQ(v.cls, ValueClass::kChar);
  std::u16string s;
  for (int32_t i = 0; i < v.shape.count; i++)
    s += static_cast<char16_t>(Load<uint16_t>(v.elements + 2 * i));
  Drop(ctx);
  return std::string(s.begin(), s.end());
}

TEST(ElementList, CheckRejectsMalformedLists) {
  ElementListBuilder good;
  good.Instance(1, "a.kv", 7)
      .Text(kElemTitle, "T")
      .Word(kElemUiOptions, 5)
      .Handler(kElemInit, {3, {101}, {102, 1 << 30}})
      .Targeted(kElemMouseDown, -1, {4, {}, {kVarX}})
      .TextHandler(kElemMenuItem, "Item", {5, {}, {}})
      .Paste(2, 9, "", {6, {}, {kVarXData}})
      .PostEvent({100, 101}, {7, {}, {}})
      .Raw(kElemEmbeddedFile, {3, 0x00636261, 5, 0x64636261, 0x65})
      .Empty(kElemLanguageEnd)
      .Instance(2, "b.kv");
  EXPECT_EQ(CheckElementList(good.words().data(), good.words().size()), kOk);
  EXPECT_EQ(CheckElementList(nullptr, 0), kOk);

  auto rejected = [](std::vector<uint32_t> words) {
    return CheckElementList(words.data(), static_cast<uint32_t>(words.size())) == kKvUndefElement;
  };
  const std::vector<uint32_t> start{1, 5, 1, 0, 0x61};  // instance 1, file "a"
  auto after = [&](std::vector<uint32_t> more) {
    std::vector<uint32_t> w = start;
    w.insert(w.end(), more.begin(), more.end());
    return w;
  };
  EXPECT_TRUE(rejected({2, 3, 0}));                             // no instance start first
  EXPECT_TRUE(rejected({1, 4, 1, 0}));                          // instance start without a name
  EXPECT_TRUE(rejected({1, 5, 1, 0, 0x61616161}));              // file name without NUL
  EXPECT_TRUE(rejected(after({2, 1})));                         // length below 2
  EXPECT_TRUE(rejected(after({2, 9, 0})));                      // past the end
  EXPECT_TRUE(rejected(after({2})));                            // a lone word
  EXPECT_TRUE(rejected(after({2, 4, 4, 0x64636261})));          // text without its NUL
  EXPECT_TRUE(rejected(after({2, 4, 100, 0})));                 // text past the element
  EXPECT_TRUE(rejected(after({7, 5, 0, 1, 0})));                // descriptor missing its input
  EXPECT_TRUE(rejected(after({7, 5, 0, 0xFFFFFFFF, 0})));       // absurd input count
  EXPECT_TRUE(rejected(after({26, 4, 0, 0})));                  // target, no descriptor
  EXPECT_TRUE(rejected(after({39, 6, 9, 1, 0, 0})));            // variable count too large
  EXPECT_TRUE(rejected(after({6, 2})));                         // word missing
  EXPECT_TRUE(rejected(after({43, 5, 8, 0, 0})));               // embedded name too long
  EXPECT_TRUE(rejected(after({44, 6, 4, 100, 0, 0})));          // library text too long
  EXPECT_FALSE(rejected(after({44, 6, 0, 0xFFFFFFFF, 0, 0})));  // no library text
  EXPECT_FALSE(rejected(after({99, 3, 12345})));                // unknown kinds pass by length
}

TEST(ElementList, LookupsStayInsideAListThatWasNotChecked) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  const uint32_t words[] = {1, 5, 0, 0, 0x61, 2, 0xFFFF, 0};
  std::memcpy(h.block()->ElementArea(), words, sizeof words);
  h.block()->elementWords = 8;
  int32_t pos = -1;
  EXPECT_EQ(FindElement(h.block(), 0, &pos, kElemTitle), kKvUndefElement);
  EXPECT_EQ(FindElement(h.block(), 3, &pos, kElemTitle), kKvNonexistentInstance);
  EXPECT_EQ(RemoveInstanceElements(h.block(), 0), kOk);
  EXPECT_EQ(h.block()->elementWords, 3u);
  h.block()->elementWords = 1u << 30;  // more than the area holds
  EXPECT_EQ(FindInstanceByFileName(h.block(), "a"), -1);
}

// Two instances; the first with shared elements, two language sections and
// a language block.
class Languages : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(h.init(), kOk);
    int32_t id;
    ASSERT_EQ(CreateInstance(h.block(), &id), kOk);
    ASSERT_EQ(CreateInstance(h.block(), &id), kOk);
    b.Instance(1, "alpha.kv", 0x77).Text(kElemTitle, "Shared");
    b.Text(kElemLanguageSection, "en;English");
    en = b.LastOffset();
    b.Text(kElemTitle, "Hello").Handler(kElemInit, {1});
    enInit = b.Last();
    b.Text(kElemLanguageSection, "de;Deutsch");
    de = b.LastOffset();
    b.Text(kElemTitle, "Hallo").Handler(kElemInit, {2});
    b.Word(kElemLanguageBlock, en).Text(kElemVersion, "v-en").Empty(kElemLanguageEnd);
    b.Text(kElemHelp, "after the block");
    b.Instance(2, "beta.kv").Text(kElemInstanceCode, "x = 1;").Text(kElemTitle, "Beta");
    ASSERT_EQ(CheckElementList(b.words().data(), b.words().size()), kOk);
    ASSERT_EQ(b.LoadInto(h.block()), kOk);
  }
  void SetLanguage(int32_t offset) { FindInstance(h.block(), 1)->currentLanguage = offset; }
  // The texts of the elements of a kind that FindElement gives in turn.
  std::vector<std::string> Texts(uint32_t kind) {
    std::vector<std::string> out;
    int32_t pos = -1;
    while (FindElement(h.block(), 1, &pos, kind) == kOk) {
      const ElementListView list = BlockElements(h.block(), 0, kNoLanguage);
      ElementRef e;
      std::string_view text;
      ReadElementAt(list, static_cast<uint32_t>(pos), &e);
      out.push_back(ElementText(list, e, 0, &text) ? std::string(text) : "?");
    }
    return out;
  }

  BlockHost h;
  ElementListBuilder b;
  uint32_t en = 0, de = 0, enInit = 0;
};

TEST_F(Languages, OnlyTheCurrentLanguageIsActive) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Texts(kElemTitle), V{"Shared"});
  EXPECT_EQ(Texts(kElemLanguageSection), (V{"en;English", "de;Deutsch"}));  // active or not
  EXPECT_EQ(Texts(kElemVersion), V{});
  int32_t pos = -1;
  EXPECT_EQ(FindElement(h.block(), 1, &pos, kElemLanguageInit), kKvUndefElement);

  SetLanguage(static_cast<int32_t>(en));
  EXPECT_EQ(Texts(kElemTitle), (V{"Shared", "Hello"}));
  EXPECT_EQ(Texts(kElemVersion), V{"v-en"});  // the block of the current language
  EXPECT_EQ(Texts(kElemHelp), V{});           // inactive after the block's end
  pos = -1;
  ASSERT_EQ(FindElement(h.block(), 1, &pos, kElemLanguageInit), kOk);
  EXPECT_EQ(pos, static_cast<int32_t>(enInit));

  SetLanguage(static_cast<int32_t>(de));
  EXPECT_EQ(Texts(kElemTitle), (V{"Shared", "Hallo"}));
  EXPECT_EQ(Texts(kElemVersion), V{});

  // The instance start itself, then the next instance's start.
  pos = -1;
  ASSERT_EQ(FindElement(h.block(), 1, &pos, kElemInstanceStart), kOk);
  EXPECT_EQ(pos, 0);
  ASSERT_EQ(FindElement(h.block(), 1, &pos, kElemInstanceStart), kOk);
  uint32_t second;
  ASSERT_EQ(FindInstanceStart(h.block(), 2, &second), kOk);
  EXPECT_EQ(pos, static_cast<int32_t>(second));
  pos = static_cast<int32_t>(h.block()->elementWords);
  EXPECT_EQ(FindElement(h.block(), 1, &pos, kElemTitle), kKvUndefElement);
}

TEST_F(Languages, InstanceStartWordsAndFileNames) {
  EXPECT_EQ(GetInstanceHeaderWord(h.block(), 1), 0x77u);
  EXPECT_EQ(GetInstanceHeaderWord(h.block(), 5), 0u);
  EXPECT_FALSE(HasInstanceWideCode(h.block(), 1));
  EXPECT_TRUE(HasInstanceWideCode(h.block(), 2));
  EXPECT_FALSE(HasInstanceWideCode(h.block(), 5));

  EXPECT_EQ(FindInstanceByFileName(h.block(), "beta.kv"), 2);
  EXPECT_EQ(FindInstanceByFileName(h.block(), "beta"), 2);  // the name followed by "."
  EXPECT_EQ(FindInstanceByFileName(h.block(), "bet"), -1);
  EXPECT_EQ(FindInstanceByFileName(h.block(), "alpha.kv2"), -1);
  EXPECT_EQ(FindInstanceByFileName(h.block(), ""), -1);

  // Names are compared on at most 32 characters.
  ElementListBuilder longName;
  const std::string file(40, 'f');
  longName.Instance(1, file);
  ASSERT_EQ(longName.LoadInto(h.block()), kOk);
  EXPECT_EQ(FindInstanceByFileName(h.block(), file.substr(0, 32) + "xyz"), 1);
  EXPECT_EQ(FindInstanceByFileName(h.block(), file.substr(0, 31)), -1);
}

TEST_F(Languages, RemovingAnInstancesElementsKeepsTheOthers) {
  const uint32_t words = h.block()->elementWords;
  uint32_t second;
  ASSERT_EQ(FindInstanceStart(h.block(), 2, &second), kOk);
  ASSERT_EQ(RemoveInstanceElements(h.block(), 1), kOk);
  EXPECT_EQ(h.block()->elementWords, words - second);
  uint32_t start;
  EXPECT_EQ(FindInstanceStart(h.block(), 1, &start), kKvNonexistentInstance);
  ASSERT_EQ(FindInstanceStart(h.block(), 2, &start), kOk);
  EXPECT_EQ(start, 0u);
  std::string_view text;
  ASSERT_EQ(GetInstanceElement(h.block(), 2, kElemTitle, &text, nullptr), kOk);
  EXPECT_EQ(text, "Beta");
  EXPECT_EQ(RemoveInstanceElements(h.block(), 1), kKvNonexistentInstance);
}

TEST(Instances, CreateFindAndRemove) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  KVContextBlock* b = h.block();
  b->defaultInstanceFlag = 1;
  b->styleA = {3, 0x102030};
  const uint32_t storeBefore = ObjectList(b->DataArea()).Count();
  int32_t ids[3];
  for (int32_t& id : ids) ASSERT_EQ(CreateInstance(b, &id), kOk);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[2], 3);
  EXPECT_EQ(b->instanceCount, 4);
  EXPECT_EQ(ObjectList(b->DataArea()).Count(), storeBefore - 3 * kInstanceRecordBytes / 8);

  const InstanceRecord* r = FindInstance(b, 2);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->id, 2u);
  EXPECT_EQ(r->firstInstance, 0);
  EXPECT_EQ(FindInstance(b, 0)->firstInstance, 1);
  EXPECT_EQ(GetInstanceFlagByte6(b, 2), 1);
  EXPECT_EQ(r->figure.styles[kFigureStyleGrid].flags, 3u);
  EXPECT_EQ(r->figure.styles[kFigureStyleGrid].green, 0x20);
  EXPECT_EQ(r->figure.subplots[0].plotId, kPlotNone);
  // Highlighted labels draw their frame and ticks as lines in a colour the
  // white viewport does not swallow.
  const PenBrush lit = SelectPenBrush(r->figure.styles[kFigureStyleLabelHighlight]);
  EXPECT_FALSE(lit.fill);
  EXPECT_NE(lit.rgb, 0xFFFFFFu);

  // Every new set is ready: values can be stored in an earlier set without
  // touching the later ones.
  void* undo = b->UndoArea();
  void* data;
  ASSERT_EQ(SetUndoValue(undo, 3, 0, kVarPl, 4, &data), kOk);
  ASSERT_EQ(SetUndoValue(undo, 1, 0, kVarPl, 4, &data), kOk);
  ASSERT_EQ(PushUndoVersion(undo, 1), kOk);
  EXPECT_TRUE(HasUndoValue(undo, 3, 0, kVarPl));
  EXPECT_TRUE(UndoBufferIsValid(undo, b->undoBytes));

  // Removing the middle instance leaves the others findable.
  for (int32_t id : {0, 1, 2, 3}) FindInstance(b, id)->idleValue2 = id;
  ASSERT_EQ(RemoveInstance(b, 2), kOk);
  EXPECT_EQ(b->instanceCount, 3);
  EXPECT_EQ(FindInstance(b, 2), nullptr);
  for (int32_t id : {0, 1, 3}) {
    ASSERT_NE(FindInstance(b, id), nullptr) << id;
    EXPECT_EQ(FindInstance(b, id)->idleValue2, id);
  }
  EXPECT_TRUE(HasUndoValue(undo, 3, 0, kVarPl));
  EXPECT_FALSE(HasUndoValue(undo, 2, 0, kVarPl));
  EXPECT_EQ(ObjectList(b->DataArea()).Count(), storeBefore - 2 * kInstanceRecordBytes / 8);
  EXPECT_EQ(RemoveInstance(b, 2), kKvNonexistentInstance);
  int32_t id;
  ASSERT_EQ(CreateInstance(b, &id), kOk);
  EXPECT_EQ(id, 4);

  // Instance 0 made anew keeps its place and gets a fresh set.
  ASSERT_EQ(SetUndoValue(undo, 0, 0, kVarPl, 4, &data), kKvNonexistentUndoSet);
  ASSERT_EQ(CreateInstance(b, nullptr), kOk);
  EXPECT_EQ(b->instanceCount, 4);
  EXPECT_EQ(InstanceRecordAt(b, 0)->id, 0u);
  EXPECT_EQ(SetUndoValue(undo, 0, 0, kVarPl, 4, &data), kOk);
  ASSERT_EQ(RemoveInstance(b, 0), kOk);
  EXPECT_NE(FindInstance(b, 0), nullptr);  // instance 0 keeps its record
}

TEST(Instances, FullStoreOrSetAreaRefusesAndGrowthMakesRoom) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  int32_t id;
  ErrCode e;
  while ((e = CreateInstance(h.block(), &id)) == kOk) {
  }
  EXPECT_EQ(e, kKvExhaustedRsrc);
  const int32_t count = h.block()->instanceCount;
  const uint32_t next = h.block()->nextInstanceId;
  EXPECT_EQ(RunWithGrowth(h.slot(), [&](KVContextBlock* b) { return CreateInstance(b, &id); }),
            kOk);
  EXPECT_EQ(h.block()->instanceCount, count + 1);
  EXPECT_EQ(id, static_cast<int32_t>(next));
  for (int32_t k = 0; k <= count; k++) EXPECT_NE(InstanceRecordAt(h.block(), k), nullptr);
  EXPECT_EQ(FindInstance(h.block(), 1)->id, 1u);

  // A full set area: the failed instance leaves no set and no smaller store.
  BlockHost u;
  ASSERT_EQ(u.init(), kOk);
  int32_t filler = 1000;
  while (AddUndoSet(u.block()->UndoArea(), filler) == kOk) filler++;
  RemoveUndoSet(u.block()->UndoArea(), filler - 1);
  const uint32_t store = ObjectList(u.block()->DataArea()).Count();
  EXPECT_EQ(CreateInstance(u.block(), &id), kKvTooManyVarInUndoBuf);
  EXPECT_EQ(u.block()->instanceCount, 1);
  EXPECT_EQ(ObjectList(u.block()->DataArea()).Count(), store);
  EXPECT_TRUE(UndoBufferIsValid(u.block()->UndoArea(), u.block()->undoBytes));
}

TEST(Instances, LayoutReset) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  FigureState& fig = FindInstance(h.block(), 0)->figure;
  ASSERT_EQ(SetSubplotLayout(&fig, 2, 3), kOk);
  fig.subplots[0].plotId = 40;
  SetRect(fig.rect, 0, 500, 0, 300);
  ASSERT_EQ(ResetInstanceLayout(h.block(), 0, false), kOk);
  EXPECT_EQ(fig.rows * fig.columns, 1);
  EXPECT_EQ(fig.rect[kRight], 500.0);
  EXPECT_EQ(fig.subplots[0].plotId, kPlotNone);
  EXPECT_EQ(fig.subplots[0].handlers[kHandlerDraw], kNoHandler);
  ASSERT_EQ(ResetInstanceLayout(h.block(), 0, true), kOk);
  EXPECT_EQ(fig.rect[kRight], 1.0);
  EXPECT_EQ(ResetInstanceLayout(h.block(), 9, true), kKvNonexistentInstance);
}

TEST(Instances, InfoTextsFallBackToTheElements) {
  BlockHost h;
  ASSERT_EQ(h.init(), kOk);
  KVContextBlock* b = h.block();
  EngineContext* ctx = h.ctx();
  int32_t id;
  ASSERT_EQ(CreateInstance(b, &id), kOk);
  ElementListBuilder list;
  list.Instance(0, "zero.kv").Text(kElemVersion, "0.1");
  list.Instance(1, "one.kv")
      .Text(kElemTitle,
            "Gr\xC3\xBC\xC3\x9F"
            "e")
      .Text(kElemHelp, "Help");
  list.TextHandler(kElemMenuItem, "Item", {}).Text(kElemVersion, "after the menu");
  ASSERT_EQ(list.LoadInto(b), kOk);

  ASSERT_EQ(GetInstanceInfoText(b, 1, 't', true), kOk);
  EXPECT_EQ(TopText(ctx),
            "Gr\xFC\xDF"
            "e");
  char text[32];
  int32_t n;
  ASSERT_EQ(GetInstanceTitle(b, 1, text, sizeof text, &n), kOk);
  EXPECT_EQ(std::string(text, n),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  EXPECT_EQ(GetInstanceInfoText(b, 1, 'v', true), kKvUndefElement);  // only behind a menu item
  ASSERT_EQ(GetInstanceInfoText(b, 1, 'v', false), kOk);
  EXPECT_EQ(TopText(ctx), "");
  // Instance 0 has no variables at all: its elements still answer.
  ASSERT_EQ(GetInstanceVersionText(b, 0, 'n', text, sizeof text, &n), kOk);
  EXPECT_EQ(std::string(text, n), "0.1");

  // A stored title shows at once, even after user actions made versions.
  ASSERT_EQ(PushUndoVersion(b->UndoArea(), 1), kOk);
  ASSERT_EQ(PushUndoVersion(b->UndoArea(), 1), kOk);
  ASSERT_EQ(SetInstanceInfoText(b, 1, "Later", 5, 't'), kOk);
  ASSERT_EQ(GetInstanceInfoText(b, 1, 't', true), kOk);
  EXPECT_EQ(TopText(ctx), "Later");
  ASSERT_EQ(UndoSetStepBack(b->UndoArea(), 1), kOk);
  ASSERT_EQ(GetInstanceInfoText(b, 1, 't', true), kOk);
  EXPECT_EQ(TopText(ctx),
            "Gr\xFC\xDF"
            "e");
  ASSERT_EQ(UndoSetStepForward(b->UndoArea(), 1), kOk);
  ASSERT_EQ(SetInstanceInfoText(b, 1, nullptr, 0, 't'), kOk);  // [] again
  ASSERT_EQ(GetInstanceHelpText(b, 1, 'n', text, sizeof text, &n), kOk);
  EXPECT_EQ(std::string(text, n), "Help");
  ASSERT_EQ(GetInstanceTitle(b, 1, text, 4, &n), kOk);  // cut to the buffer
  EXPECT_EQ(std::string(text, n), "Gr");

  EXPECT_EQ(GetInstanceInfoText(b, 1, 'x', false), kErrIllegal);
  EXPECT_EQ(SetInstanceInfoText(b, 1, "x", 1, 'q'), kErrIllegal);
  EXPECT_EQ(GetInstanceInfoText(b, 7, 't', false), kKvNonexistentInstance);
  // Display modes convert the markup; the text is cut like the plain one.
  char page[256];
  ASSERT_EQ(GetInstanceText(b, 1, 'h', 'h', page, sizeof page, &n), kOk);
  EXPECT_NE(std::string(page, n).find("<p>Help</p>\r\n</body></html>\r\n"), std::string::npos);
  ASSERT_EQ(GetInstanceText(b, 1, 'p', 'h', page, sizeof page, &n), kOk);
  EXPECT_EQ(std::string(page, n), "Help\r\n\r\n");
  ASSERT_EQ(GetInstanceText(b, 1, 'p', 't', page, 6, &n), kOk);
  EXPECT_EQ(std::string(page, n), "Gr\xC3\xBC");  // compact, cut before a character
  EXPECT_EQ(test::EntryCount(ctx), 0);
}

}  // namespace
}  // namespace vke
