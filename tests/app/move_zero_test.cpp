// movezero: real and complex zeros moved, a real zero taking its neighbour
// into a pair, a pair dragged across the real axis, noise in the imaginary
// parts, the placed zero, and polynomials too short for the factor.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/block_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

class MoveZero : public ::testing::Test {
 protected:
  std::string Eval(const std::string& text) { return test::EvaluateToText(h.ctx(), text); }
  test::BlockHost h;
};

TEST_F(MoveZero, MovesRealZerosAndConjugatePairs) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("movezero([1 -3 2], 1, 5)"), "[1,-7,10]");
  EXPECT_EQ(Eval("movezero([1 0 1], 1i, 2i)"), "[1,0,4]");
  EXPECT_EQ(Eval("movezero([1 0 1], -1i, -2i)"), "[1,0,4]");
  // The orientation of p is kept; a zero that is no exact zero moves too
  // (the remainder of the division is dropped).
  EXPECT_EQ(Eval("movezero([1; -3; 2], 2, 4)'"), "[1,-5,4]");
  EXPECT_EQ(Eval("movezero([2 -6 4 0], 0, 3)"), "[2,-12,22,-12]");
  // Only a positive imaginary part takes a neighbour with the real zero.
  EXPECT_EQ(Eval("movezero([1 -3 2], 1, 4 - 1i)"), "[1,-6,8]");
}

TEST_F(MoveZero, RealZeroTakesItsNearestNeighbourIntoAPair) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("movezero([1 -3 2], 1, 1 + 1i)"), "[1,-2,2]");
  // Zeros 1, 2 and 10: dragging 2 up takes 1 (the nearer) with it.
  EXPECT_EQ(Eval("[p, z] = movezero(conv([1 -1], conv([1 -2], [1 -10])), 2, 3 + 1i); [p, z]"),
            "[complex(1,0),complex(-16,0),complex(70,0),complex(-100,0),3+1i]");
  // A single real zero has no neighbour: it moves alone, to the real part.
  EXPECT_EQ(Eval("[p, z] = movezero([1 -1], 1, 3 + 2i); [p, z]"), "[1,-3,3]");
}

TEST_F(MoveZero, PairDraggedAcrossTheAxisBecomesTwoRealZeros) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("[p, z] = movezero([1 0 1], 1i, -0.5i); [p, z]"), "[1,0,0,0]");
  EXPECT_EQ(Eval("[p, z] = movezero([1 -2 5], 1 + 2i, 3 - 1i); [p, z]"), "[1,-4,3,3]");
}

TEST_F(MoveZero, NegligibleImaginaryPartsAreDroppedOthersRefused) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("movezero([1 -3 2] + 1e-12i, 1, 5)"), "[1,-7,10]");
  EXPECT_EQ(Eval("movezero([1 -3 2] + 1i, 1, 5)"), "error 43");
}

TEST_F(MoveZero, BadArgumentsAreRefused) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("movezero([1 2; 3 4], 1, 2)"), "error 22");
  EXPECT_EQ(Eval("movezero([1 -3 2], [1 2], 2)"), "error 107");
  EXPECT_EQ(Eval("movezero([1 -3 2], 1, [])"), "error 107");
  EXPECT_EQ(Eval("movezero([1 -3 2], 'a', 2)"), "error 43");
  EXPECT_EQ(Eval("movezero({1}, 1, 2)"), "error 43");
  EXPECT_EQ(Eval("movezero([], 1, 2)"), "[]");
}

// A polynomial of lower degree than the factor of the dragged zero has no
// such zero: it is returned unchanged, and the zero stays where it was.
TEST_F(MoveZero, PolynomialsShorterThanTheFactorStayUnchanged) {
  ASSERT_EQ(h.init(), kOk);
  EXPECT_EQ(Eval("movezero(5, 1i, 2i)"), "5");
  EXPECT_EQ(Eval("movezero(5, 1, 2)"), "5");
  EXPECT_EQ(Eval("[p, z] = movezero([1 2], 1i, 2i); [p, z]"), "[complex(1,0),complex(2,0),0+1i]");
  EXPECT_EQ(Eval("movezero([1 2], 1i, -2i)"), "[1,2]");
  EXPECT_EQ(Eval("[p, z] = movezero([], 1, 2); [p, z]"), "1");
}

}  // namespace
}  // namespace vke
