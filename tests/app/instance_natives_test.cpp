// The instance natives as handlers call them: cancel, the title, version
// and help texts, idle processing, the current language, the instances and
// their titles, and the "+genericFun" hook.
#include <gtest/gtest.h>

#include <string>

#include "app/draw_cycle.hpp"
#include "app/instances.hpp"
#include "app/natives/app_natives.hpp"
#include "graphics/figure_codes.hpp"
#include "tests/app/family_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::ElementListBuilder;
using test::FamilyHost;

class InstanceNatives : public ::testing::Test {
 protected:
  InstanceNatives() : h({"a", "b"}) {}

  // Compiles the source and makes instance 0 the KV file "app.kv" with a
  // title, a version and a help text.
  void Compile(const std::string& source) {
    ASSERT_EQ(h.Compile(source), kOk);
    base.Instance(0, "app.kv", h.library())
        .Text(kElemTitle, "App title")
        .Text(kElemVersion, "1.0")
        .Text(kElemHelp, "Help text");
  }
  // Runs fn as a handler of instance 0 whose outputs go to the variables;
  // the instance "other.kv" follows when it was created.
  ErrCode Run(const std::string& fn, std::vector<int32_t> outputs = {}) {
    ElementListBuilder l = base;
    l.Handler(kElemInit, {h.Fn(fn), outputs});
    const HandlerRequest request = test::RequestFor(l);
    if (other > 0) l.Instance(other, "other.kv").Text(kElemTitle, "Other");
    EXPECT_EQ(h.Load(l), kOk);
    return h.Run(request);
  }
  int32_t a() const { return h.Var("a"); }
  int32_t b() const { return h.Var("b"); }

  FamilyHost h;
  ElementListBuilder base;
  int32_t other = 0;
};

TEST_F(InstanceNatives, CancelEndsTheHandler) {
  Compile(
      "function a = quiet()\n a = 1; cancel(false); a = 2;\n"
      "function a = plain()\n a = 1; cancel; a = 2;\n"
      "function a = loud()\n a = 1; cancel(true);\n"
      "function a = bad()\n a = 1; cancel({});\n");
  ASSERT_EQ(h.SetScalar(a(), 0), kOk);
  // cancel(false): the runner counts the 402 as success, nothing is stored.
  EXPECT_EQ(Run("quiet", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 0);
  EXPECT_EQ(Run("plain", {a()}), kStatusNoPrint);
  EXPECT_EQ(Run("loud", {a()}), kStatusNoPrint);
  EXPECT_EQ(h.Scalar(a()), 0);
  EXPECT_NE(Run("bad", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 0);
}

TEST_F(InstanceNatives, TitleVersionAndHelpTexts) {
  Compile(
      "function (a, b) = title()\n b = kvtitle; kvtitle('Demo'); a = kvtitle;\n"
      "function a = back()\n kvtitle(3); a = kvtitle;\n"
      "function (a, b) = others()\n kvversion('2.0'); a = kvversion; b = kvhelp;\n"
      "function a = given()\n a = kvhelp('New help');\n"
      "function bad()\n kvtitle(@sin);\n");
  ASSERT_EQ(Run("title", {a(), b()}), kOk);
  EXPECT_EQ(h.Text(a()), "Demo");
  EXPECT_EQ(h.Text(b()), "App title");
  // A number gives the KV file's title back.
  ASSERT_EQ(Run("back", {a()}), kOk);
  EXPECT_EQ(h.Text(a()), "App title");
  ASSERT_EQ(Run("others", {a(), b()}), kOk);
  EXPECT_EQ(h.Text(a()), "2.0");
  EXPECT_EQ(h.Text(b()), "Help text");
  ASSERT_EQ(Run("given", {a()}), kOk);
  EXPECT_EQ(h.Text(a()), "New help");
  EXPECT_EQ(Run("bad"), kErrWrongTypeOverload);
  EXPECT_EQ(h.Text(a()), "New help");
}

TEST_F(InstanceNatives, WithoutACurrentInstanceTheyAnswerBadContext) {
  Compile("");
  ASSERT_EQ(h.Load(base), kOk);
  h.block()->nativeCall.instanceId = 7;
  for (const char* text :
       {"kvtitle", "kvversion('x')", "kvhelp", "idlestate", "kvcurrentlanguage", "idlestate(true)"})
    EXPECT_EQ(test::EvaluateToText(h.ctx(), text), "error 400") << text;
  EXPECT_EQ(test::EvaluateToText(h.ctx(), "kvcurrentinstance"), "7");
}

TEST_F(InstanceNatives, IdleStateHoldsTheIdleHandlerBack) {
  Compile(
      "function a = stop()\n idlestate(false); a = idlestate;\n"
      "function a = start()\n a = idlestate(true);\n"
      "function a = tick(a)\n a = a + 1;\n");
  ElementListBuilder l = base;
  l.Handler(kElemIdle, {h.Fn("tick"), {a()}, {a()}});
  ASSERT_EQ(h.Load(l), kOk);
  ASSERT_EQ(h.SetScalar(a(), 0), kOk);
  h.Record()->idleState = kIdleOn;
  ASSERT_EQ(RunIdleHandlerIfDue(h.slot(), 0, false), kOk);
  EXPECT_EQ(h.Scalar(a()), 1);
  base = l;
  ASSERT_EQ(Run("stop", {b()}), kOk);
  EXPECT_EQ(h.Record()->idleHandler, 0);
  EXPECT_EQ(test::EvaluateToText(h.ctx(), "idlestate"), "false");
  ASSERT_EQ(h.Load(l), kOk);
  h.Record()->idleState = kIdleOn;
  ASSERT_EQ(RunIdleHandlerIfDue(h.slot(), 0, false), kOk);
  EXPECT_EQ(h.Scalar(a()), 1);
  ASSERT_EQ(Run("start", {b()}), kOk);
  ASSERT_EQ(h.Load(l), kOk);
  ASSERT_EQ(RunIdleHandlerIfDue(h.slot(), 0, false), kOk);
  EXPECT_EQ(h.Scalar(a()), 2);
}

TEST_F(InstanceNatives, CurrentLanguage) {
  Compile(
      "function (a, b) = names()\n [a, b] = kvcurrentlanguage;\n"
      "function a = french()\n kvcurrentlanguage('francais'); a = 1;\n"
      "function a = english()\n kvcurrentlanguage('en'); a = 2;\n"
      "function klingon()\n kvcurrentlanguage('tlh');\n"
      "function bad()\n kvcurrentlanguage(1);\n");
  base.Text(kElemLanguageSection, "en;English").Text(kElemLanguageSection, "fr;Francais");
  ASSERT_EQ(Run("names", {a(), b()}), kOk);
  EXPECT_EQ(h.Text(a()) + "|" + h.Text(b()), "|");
  // A change is no failure: the handler goes on and its output is stored.
  ASSERT_EQ(Run("french", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 1);
  ASSERT_EQ(Run("names", {a(), b()}), kOk);
  EXPECT_EQ(h.Text(a()) + "|" + h.Text(b()), "fr|Francais");
  ASSERT_EQ(Run("french", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 1);
  EXPECT_EQ(Run("klingon"), kKvUndefElement);
  EXPECT_EQ(Run("bad"), kErrWrongTypeOverload);
  ASSERT_EQ(Run("english", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 2);
}

TEST_F(InstanceNatives, InstancesAndTheirTitles) {
  Compile(
      "function a = ids()\n a = kvinstances;\n"
      "function a = me()\n a = kvcurrentinstance;\n"
      "function a = titles()\n a = [kvinstancetitle(0), '/', kvinstancetitle(1.7)];\n"
      "function a = missing()\n"
      " try\n  kvinstancetitle(99);\n catch\n  e = lasterror; a = [e.identifier, ': ', "
      "e.message];\n"
      " end\n"
      "function bad()\n kvinstancetitle({});\n");
  ASSERT_EQ(Run("ids", {a()}), kOk);
  EXPECT_EQ(h.Count(a()), 1);
  ASSERT_EQ(CreateInstance(h.block(), &other), kOk);
  ASSERT_EQ(Run("ids", {a()}), kOk);
  EXPECT_EQ(h.Count(a()), 2);
  ASSERT_EQ(Run("me", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 0);
  ASSERT_EQ(Run("titles", {a()}), kOk);
  EXPECT_EQ(h.Text(a()), "App title/Other");
  ASSERT_EQ(Run("missing", {a()}), kOk);
  EXPECT_EQ(h.Text(a()).rfind("kv:badInstanceId: Bad KV instance ID", 0), 0u) << h.Text(a());
  EXPECT_EQ(Run("bad"), kErrWrongTypeOverload);
}

// The "+genericFun" hook takes names only while a handler runs: sources
// compiled one after the other may call functions of the later ones.
TEST_F(InstanceNatives, GenericFunctionHookTakesNamesOnlyWhileAHandlerRuns) {
  Compile("function a = first()\n a = second() + 1;\n");
  ASSERT_EQ(h.Compile("function r = second()\n r = 41;\n"), kOk);
  ASSERT_EQ(Run("first", {a()}), kOk);
  EXPECT_EQ(h.Scalar(a()), 42);
  const auto user = reinterpret_cast<uintptr_t>(&h.block()->nativeCall);
  EXPECT_EQ(GenericFunctionHook(h.ctx(), "any", 3, 0, 0, 0, user), kErrBadContext);
  h.block()->handlerBusy = 1;
  EXPECT_EQ(GenericFunctionHook(h.ctx(), "any", 3, 0, 0, 0, user), kOk);
  EXPECT_EQ(GenericFunctionHook(h.ctx(), "any", 3, 1, 0, 0, user), kErrNotSupported);
  h.block()->nativeCall.instanceId = 3;
  EXPECT_EQ(GenericFunctionHook(h.ctx(), "any", 3, 0, 0, 0, user), kErrBadContext);
  EXPECT_EQ(GenericFunctionHook(h.ctx(), "any", 3, 0, 0, 0, 0), kErrBadContext);
  h.block()->handlerBusy = 0;
}

}  // namespace
}  // namespace vke
