// String builtins: character classes, case, comparisons, findstr, strmatch,
// strtok, deblank and strtrim, and the identity tests same and unsame.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class Strings : public ::testing::Test {
 protected:
  // name(texts...) with the outputs as text, the first output first.
  std::string Call(const std::string& name, std::initializer_list<std::string> texts,
                   int32_t nargout = 1) {
    for (const std::string& t : texts) PushText(ctx, t);
    return Finish(name, static_cast<int32_t>(texts.size()), nargout);
  }
  std::string Finish(const std::string& name, int32_t nargin, int32_t nargout = 1) {
    return CallForText(ctx, name, nargin, nargout);
  }
  std::string Compare(const char* name, const char* a, const char* b, double n) {
    PushText(ctx, a);
    PushText(ctx, b);
    PushRealScalar(ctx, n);
    return Finish(name, 3);
  }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(Strings, CharacterClassesAndCase) {
  EXPECT_EQ(Call("isletter", {"a1 Z"}), "[true,false(1,2),true]");
  EXPECT_EQ(Call("isspace", {" \t\r\n\f\v"}), "[true(1,4),false(1,2)]");
  EXPECT_EQ(Call("isdigit", {"09a"}), "[true(1,2),false]");
  PushRow(ctx, "double", {0x661});
  ASSERT_EQ(CallNamed(ctx, "char", 1), kOk);
  EXPECT_EQ(Finish("isdigit", 1), "false");
  EXPECT_EQ(Call("upper", {"aBc1{"}), "'ABC1{'");
  EXPECT_EQ(Call("lower", {"AbC@["}), "'abc@['");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("upper", 1), "error 44");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("isletter", 1), "error 44");
}

TEST_F(Strings, StrcmpWithAndWithoutACount) {
  EXPECT_EQ(Call("strcmp", {"abc", "abc"}), "true");
  EXPECT_EQ(Call("strcmp", {"abc", "abcd"}), "false");
  EXPECT_EQ(Call("strcmp", {"", ""}), "true");
  EXPECT_EQ(Compare("strcmp", "abcd", "abcx", 3), "true");
  EXPECT_EQ(Compare("strcmp", "abcd", "abcx", 5), "false");
  EXPECT_EQ(Compare("strcmp", "ab", "abcx", 3), "false");
  EXPECT_EQ(Compare("strcmp", "abcd", "xyz", 0), "true");
  EXPECT_EQ(Call("strcmpi", {"ABC", "abc"}), "true");
  EXPECT_EQ(Call("strcmpi", {"AB[", "ab{"}), "false");
  EXPECT_EQ(Compare("strcmp", "abcd", "abcx", 2.5), "error 44");
  PushRealScalar(ctx, 1);
  PushText(ctx, "a");
  EXPECT_EQ(Finish("strcmp", 2), "error 44");
  // Elements in storage order, whatever the dimensions.
  PushText(ctx, "abcd");
  PushRow(ctx, "double", {97, 98, 99, 100});
  ASSERT_EQ(CallNamed(ctx, "char", 1), kOk);
  const int32_t dims[2] = {2, 2};
  ASSERT_EQ(ReshapeTopValue(ctx, 2, dims), kOk);
  EXPECT_EQ(Finish("strcmp", 2), "true");
}

TEST_F(Strings, FindstrAndStrmatch) {
  EXPECT_EQ(Call("findstr", {"aaa", "aa"}), "[1,2]");
  EXPECT_EQ(Call("findstr", {"ab", "abc"}), "[]");
  EXPECT_EQ(Call("findstr", {"", "a"}), "[]");
  EXPECT_EQ(Call("findstr", {"abcab", "b"}), "[2,5]");
  auto rows = [&] {
    PushText(ctx, "apple  ");
    PushText(ctx, "apricot");
    PushText(ctx, "banana ");
    ASSERT_EQ(CallNamed(ctx, "char", 3), kOk);
  };
  PushText(ctx, "ap");
  rows();
  EXPECT_EQ(Finish("strmatch", 2), "1");
  PushText(ctx, "apple");
  rows();
  PushText(ctx, "exact");
  EXPECT_EQ(Finish("strmatch", 3), "0");
  PushText(ctx, "ban");
  rows();
  PushText(ctx, "");
  EXPECT_EQ(Finish("strmatch", 3), "3");
  PushText(ctx, "ap");
  rows();
  PushText(ctx, "x");
  EXPECT_EQ(Finish("strmatch", 3), "error 108");
  // Lists of strings: the first item that starts with the text.
  PushText(ctx, "app");
  PushText(ctx, "ap");
  PushText(ctx, "apple");
  PushText(ctx, "apps");
  MakeList(ctx, 3);
  EXPECT_EQ(Finish("strmatch", 2), "2");
  PushText(ctx, "app");
  PushText(ctx, "banana");
  PushRealScalar(ctx, 1);
  MakeList(ctx, 2);
  EXPECT_EQ(Finish("strmatch", 2), "error 43");
  PushText(ctx, "a");
  const int32_t one[2] = {1, 1};
  PushNewCellArray(ctx, 2, one);
  EXPECT_EQ(Finish("strmatch", 2), "error 44");
}

TEST_F(Strings, StrtokSplitsOffTheFirstToken) {
  EXPECT_EQ(Call("strtok", {"  hello world"}, 2), "'hello' | ' world'");
  EXPECT_EQ(Call("strtok", {"  hello world"}, 1), "'hello'");
  EXPECT_EQ(Call("strtok", {" \t "}, 2), "'' | ' \\t '");
  EXPECT_EQ(Call("strtok", {"a b,c d", ","}, 2), "'a b' | ',c d'");
  EXPECT_EQ(Call("strtok", {"", ","}, 2), "'' | ''");
  PushText(ctx, "a");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("strtok", 2), "error 44");
}

TEST_F(Strings, DeblankAndStrtrim) {
  EXPECT_EQ(Call("deblank", {"ab \t"}), "'ab'");
  EXPECT_EQ(Call("deblank", {std::string(" ab\0", 4)}), "' ab'");
  EXPECT_EQ(Call("strtrim", {" \nab c \r"}), "'ab c'");
  EXPECT_EQ(Call("strtrim", {"   "}), "''");
  // A matrix is one sequence: the inner blanks stay.
  PushText(ctx, "ab ");
  PushText(ctx, " cd");
  ASSERT_EQ(CallNamed(ctx, "char", 2), kOk);
  EXPECT_EQ(Finish("deblank", 1), "'ab  cd'");
  PushRealScalar(ctx, 1);
  EXPECT_EQ(Finish("strtrim", 1), "error 44");
}

TEST_F(Strings, SameComparesClassSizeAndBits) {
  auto same = [&](auto pushA, auto pushB, const char* name = "same") {
    pushA();
    pushB();
    return Finish(name, 2);
  };
  auto scalar = [&](double v) { return [this, v] { PushRealScalar(ctx, v); }; };
  EXPECT_EQ(same(scalar(1), scalar(1)), "true");
  EXPECT_EQ(same(scalar(1), [&] { PushIntegers(ctx, kCodeInt8, {1, 1}, {1}); }), "false");
  EXPECT_EQ(same(scalar(-0.0), scalar(0)), "false");
  EXPECT_EQ(same(scalar(NAN), scalar(NAN)), "true");
  EXPECT_EQ(same(
                [&] {
                  PushRow(ctx, "double", {1, 2});
                },
                [&] {
                  PushArray(ctx, "double", {2, 1}, {1, 2});
                }),
            "false");
  auto ab = [&] {
    PushRealScalar(ctx, 1);
    PushRealScalar(ctx, 2);
    MakeStruct(ctx, {"a", "b"});
  };
  auto ba = [&] {
    PushRealScalar(ctx, 2);
    PushRealScalar(ctx, 1);
    MakeStruct(ctx, {"b", "a"});
  };
  EXPECT_EQ(same(ab, ab, "unsame"), "false");
  EXPECT_EQ(same(ab, ba), "false");
}

}  // namespace
}  // namespace vke
