// Random programs over the expression and statement grammar, and programs
// of many functions calling each other, for comparing what the optimisation
// levels and the fast forms make of them. Every program ends: loops run a
// bounded number of rounds, recursions a bounded depth, and nothing waits
// for input.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vke::test {

class ProgramGenerator {
 public:
  explicit ProgramGenerator(uint64_t seed) : random_(seed) {}

  // A script: a few statements at the top level, then the same kind of
  // statements in a function it calls (where dropped statements and line
  // markers matter most); each error is caught and its message printed.
  std::string Program();

  // A script that calls, again and again from loops, functions of a file
  // of many (tens to hundreds): leaves of scalar arithmetic with branches,
  // functions that call those of the level below (chains two to six deep),
  // recursions, two-input functions given one, outputs left unset, reads of
  // names that are not there; values of other classes flow in from the top.
  std::string CallProgram();

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }

  std::string Number();
  // A number of a few digits near zero.
  std::string SmallNumber();
  std::string Variable();
  // The range of a for loop: a few doubles, or of an integer class.
  std::string Range();
  std::string Expression(int depth);
  std::string Statement(int depth);
  std::string Append();
  std::string Block(int depth, int count);
  // The statement in a try whose catch prints the error.
  std::string Guarded(const std::string& statement);

  // A function of a CallProgram: its level (0: calls nothing), its inputs,
  // whether it calls itself, whether it has an output.
  struct Callee {
    int level;
    int inputs;
    bool recursive;
    bool output;
  };
  // A scalar expression over the inputs and locals `names` that may make up
  // to *calls calls of functions of the level below `level` (counting them
  // down).
  std::string ScalarExpression(const std::vector<std::string>& names, int level, int depth,
                               int* calls);
  // A call of a function of the level below `level` that has an output.
  std::string CallBelow(const std::vector<std::string>& names, int level, int depth, int* calls);
  std::string CalleeText(int index);
  // A value for a top-level call: mostly a double, now and then of
  // another class or size.
  std::string Argument();

  std::vector<Callee> callees_;
  bool failing_ = false;  // the function written reads names that are not there

  std::mt19937_64 random_;
  int loops_ = 0;  // loop variables in use
};

}  // namespace vke::test
