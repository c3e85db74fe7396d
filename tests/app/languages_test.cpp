// Language sections: their code and name, selecting one by name, and a
// change of language with the init handlers of the language's blocks.
#include "app/languages.hpp"

#include <gtest/gtest.h>

#include "app/instances.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/app/family_host.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

class LanguageSections : public ::testing::Test {
 protected:
  LanguageSections() : h({"a"}) {}
  void SetUp() override {
    ASSERT_EQ(h.Compile("function a = one()\n a = 1;\nfunction a = two()\n a = 2;\n"
                        "function fail()\n error('no');\n"),
              kOk);
    l.Instance(0, "app.kv", h.library()).Handler(kElemInit, {h.Fn("one"), {a}});
    l.Text(kElemLanguageSection, "en;English");
    en = Offset();
    l.Text(kElemLanguageSection, "FR;Francais");
    fr = Offset();
    l.Handler(kElemInit, {h.Fn("two"), {a}}).Text(kElemLanguageSection, "Deutsch");
    de = Offset();
    l.Handler(kElemInit, {h.Fn("fail")});
    l.Text(kElemLanguageSection, "en;English again").Empty(kElemLanguageEnd);
    ASSERT_EQ(h.Load(l), kOk);
    h.Record()->initialised = 1;
  }
  int32_t Offset() const { return static_cast<int32_t>(l.LastOffset()); }

  FamilyHost h;
  ElementListBuilder l;
  int32_t a = 106;
  int32_t en = 0, fr = 0, de = 0;
};

TEST_F(LanguageSections, CodesAndNamesOfTheSections) {
  std::string_view code, name;
  ASSERT_EQ(GetLanguageInfo(h.block(), 0, fr, &code, &name), kOk);
  EXPECT_EQ(code, "FR");
  EXPECT_EQ(name, "Francais");
  ASSERT_EQ(GetLanguageInfo(h.block(), 0, de, &code, &name), kOk);
  EXPECT_EQ(code, "Deutsch");
  EXPECT_EQ(name, "Deutsch");
  ASSERT_EQ(GetLanguageInfo(h.block(), 0, kNoLanguage, &code, &name), kOk);
  EXPECT_TRUE(code.empty() && name.empty());
  EXPECT_EQ(GetLanguageInfo(h.block(), 0, fr + 1, &code, &name), kKvUndefElement);
  // The walk gives each code once.
  std::string codes;
  for (int32_t at = -1; GetLanguageName(h.block(), 0, &at, &code, &name) == kOk;)
    codes += std::string(code) + " ";
  EXPECT_EQ(codes, "en FR Deutsch ");
}

TEST_F(LanguageSections, SelectingByNameIgnoresCase) {
  EXPECT_EQ(SelectLanguageByName(h.block(), 0, "francais"), kStatusInstanceChanged);
  EXPECT_EQ(h.Record()->currentLanguage, fr);
  EXPECT_EQ(SelectLanguageByName(h.block(), 0, "fr"), kOk);
  EXPECT_EQ(SelectLanguageByName(h.block(), 0, "EN"), kStatusInstanceChanged);
  EXPECT_EQ(h.Record()->currentLanguage, en);
  EXPECT_EQ(SelectLanguageByName(h.block(), 0, "klingon"), kKvUndefElement);
  int32_t offset;
  std::string_view code, name;
  ASSERT_EQ(GetCurrentLanguage(h.block(), 0, &offset, &code, &name), kOk);
  EXPECT_EQ(offset, en);
  EXPECT_EQ(name, "English");
  EXPECT_FALSE(h.HasValue(a));  // nothing ran
}

TEST_F(LanguageSections, AChangeRunsTheLanguagesInitHandlers) {
  EXPECT_EQ(SetInstanceLanguage(h.slot(), 0, fr), kStatusInstanceChanged);
  EXPECT_EQ(h.Scalar(a), 2);  // not the shared init handler
  EXPECT_EQ(SetInstanceLanguage(h.slot(), 0, fr), kOk);
  EXPECT_EQ(SetInstanceLanguage(h.slot(), 0, en), kStatusInstanceChanged);
  EXPECT_EQ(h.Scalar(a), 2);
  // A failing init handler is reported, the language changed all the same.
  const ErrCode e = SetInstanceLanguage(h.slot(), 0, de);
  EXPECT_NE(e, kOk);
  EXPECT_NE(e, kStatusInstanceChanged);
  EXPECT_EQ(h.Record()->currentLanguage, de);
  EXPECT_EQ(SetInstanceLanguage(h.slot(), 0, de + 1), kKvUndefElement);
  EXPECT_EQ(SetInstanceLanguage(h.slot(), 0, kNoLanguage), kStatusInstanceChanged);
}

}  // namespace
}  // namespace vke
