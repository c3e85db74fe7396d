// Random programs over the expression and statement grammar, for comparing
// what the optimisation levels make of them. Every program ends: loops run
// a bounded number of rounds, and nothing waits for input.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace vke::test {

class ProgramGenerator {
 public:
  explicit ProgramGenerator(uint64_t seed) : random_(seed) {}

  // A script: a few statements at the top level, then the same kind of
  // statements in a function it calls (where dropped statements and line
  // markers matter most); each error is caught and its message printed.
  std::string Program();

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }

  std::string Number();
  std::string Variable();
  // The range of a for loop: a few doubles, or of an integer class.
  std::string Range();
  std::string Expression(int depth);
  std::string Statement(int depth);
  std::string Block(int depth, int count);
  // The statement in a try whose catch prints the error.
  std::string Guarded(const std::string& statement);

  std::mt19937_64 random_;
  int loops_ = 0;  // loop variables in use
};

}  // namespace vke::test
