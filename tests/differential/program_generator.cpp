#include "tests/differential/program_generator.hpp"

#include <algorithm>

namespace vke::test {

namespace {

constexpr const char* kVariables[] = {"a", "b", "c", "w"};
constexpr const char* kBinary[] = {
    " + ", " - ", " .* ", " ./ ", " * ", " == ", " ~= ", " < ", " >= ", " & ", " | ", ":", " .^ "};
constexpr const char* kIntegerClasses[] = {"int8",  "uint8",  "int16", "uint16",
                                           "int32", "uint32", "int64", "uint64"};
constexpr const char* kUnary[] = {"abs",  "floor",   "sum", "numel",  "size",  "max",   "min",
                                  "sqrt", "isempty", "any", "double", "round", "cumsum"};
// The scalar operators and functions of the calling programs, the first
// three the commonest.
constexpr const char* kScalarBinary[] = {" + ", " - ", " * ", " / ", " .* ", " .^ "};
constexpr const char* kScalarUnary[] = {"-", "abs", "floor", "sqrt", "round", "fix", "isnan"};
constexpr const char* kComparisons[] = {" < ", " > ", " <= ", " >= ", " == ", " ~= "};

}  // namespace

std::string ProgramGenerator::Number() {
  switch (Pick(6)) {
    case 0:
      return std::to_string(Pick(5));
    case 1:
      return std::to_string(Pick(40) - 20);
    case 2:
      return std::to_string(Pick(9)) + "." + std::to_string(Pick(10));
    case 3:
      return Chance(50) ? "eps" : "pi";
    case 4:
      return Chance(50) ? "Inf" : "NaN";
    default:
      return "1e" + std::to_string(Pick(40) - 20);
  }
}

std::string ProgramGenerator::Range() {
  if (Chance(60)) return std::to_string(Pick(3)) + ":" + std::to_string(Pick(4));
  // A short run of an integer class near zero or at an end of its range,
  // where an iterator that steps past the limit would wrap around.
  const std::string c = kIntegerClasses[Pick(8)];
  const auto of = [&](int v) { return c + "(" + std::to_string(v) + ")"; };
  const std::string max = "intmax('" + c + "')", min = "intmin('" + c + "')";
  const std::string up = Chance(50) ? ":" : ":" + of(1 + Pick(2)) + ":";
  const std::string down = ":" + of(-1 - Pick(2)) + ":";
  const bool isSigned = c[0] == 'i';
  switch (Pick(4)) {
    case 0:
      return of(Pick(3)) + up + of(Pick(4));
    case 1:
      return max + " - " + of(Pick(3)) + up + max;
    case 2:
      return isSigned ? min + " + " + of(Pick(3)) + down + min : min + up + of(Pick(3));
    default:
      return isSigned ? of(Pick(3)) + down + of(Pick(3) - 1) : max + " - " + of(Pick(3)) + up + max;
  }
}

std::string ProgramGenerator::Variable() {
  if (loops_ > 0 && Chance(20)) return "k" + std::to_string(Pick(loops_));
  if (Chance(3)) return "unset";  // fails where it is read
  return kVariables[Pick(4)];
}

std::string ProgramGenerator::Expression(int depth) {
  if (depth <= 0) return Chance(50) ? Number() : Variable();
  switch (Pick(11)) {
    case 0:
    case 1:
      return Expression(depth - 1) + kBinary[Pick(13)] + Expression(depth - 1);
    case 2:
      return "(" + Expression(depth - 1) + ")";
    case 3:
      return std::string(Chance(50) ? "-" : "~") + Expression(depth - 1);
    case 4:
      return std::string(kUnary[Pick(13)]) + "(" + Expression(depth - 1) + ")";
    case 5:
      return "[" + Expression(depth - 1) + ", " + Expression(depth - 1) +
             (Chance(30) ? "; " + Expression(depth - 1) + ", " + Expression(depth - 1) : "") + "]";
    case 6:
      return Variable() + "(" + (Chance(30) ? "end" : Expression(depth - 1)) + ")";
    case 7:
      return "{" + Expression(depth - 1) + ", " + Expression(depth - 1) + "}";
    case 8:
      return Chance(50) ? "'ab'" : "[]";
    case 9:
      return Expression(depth - 1) + "'";
    default:
      return Chance(50) ? Number() : Variable();
  }
}

std::string ProgramGenerator::Statement(int depth) {
  const int kinds = depth > 0 ? 11 : 6;
  switch (Pick(kinds)) {
    case 0:
    case 1:
      return Variable() + " = " + Expression(2) + (Chance(70) ? ";\n" : "\n");
    case 2:
      return Variable() + "(" + Expression(1) + ") = " + Expression(1) + ";\n";
    case 3:
      return Expression(2) + ";\n";  // a value dropped: it may still fail
    case 4:
      return "disp(" + Expression(2) + ")\n";
    case 5:
      return Append();
    case 6:
      return "if " + Expression(1) + "\n" + Block(depth - 1, 2) +
             (Chance(50) ? "else\n" + Block(depth - 1, 2) : "") + "end\n";
    case 7: {
      const std::string k = "k" + std::to_string(loops_);
      const std::string head = "for " + k + " = " + Range() + "\n";
      loops_++;
      const std::string body = Block(depth - 1, 2);
      loops_--;
      return head + body + "end\n";
    }
    case 8:
      return "switch " + Expression(1) + "\n  case " +
             (Chance(50) ? Number() : "{" + Number() + ", " + Variable() + "}") + "\n" +
             Block(depth - 1, 1) + "  case " + Number() + "\n" + Block(depth - 1, 1) +
             (Chance(50) ? "  otherwise\n" + Block(depth - 1, 1) : "") + "end\n";
    case 9:
      return Guarded(Block(depth - 1, 2));
    default:
      return "n = 0;\nwhile n < " + std::to_string(Pick(3)) + "\n  n = n + 1;\n" +
             Block(depth - 1, 1) + "end\n";
  }
}

// Growth past the end: of vectors, of matrices by rows, of lists and cell
// arrays by items and of structure arrays by elements.
std::string ProgramGenerator::Append() {
  const std::string x = Variable();
  switch (Pick(6)) {
    case 0:
      return x + "(end + " + std::to_string(Pick(3)) + ") = " + Expression(1) + ";\n";
    case 1:
      return x + "(end + 1, :) = " + Expression(1) + ";\n";
    case 2:
      return x + "{end + " + std::to_string(Pick(2)) + "} = " + Expression(1) + ";\n";
    case 3:
      return x + "(end + 1) = {" + Expression(1) + "};\n";
    case 4:
      return x + "(end + 1)." + (Chance(50) ? "f" : "g") + " = " + Expression(1) + ";\n";
    default:
      return x + "(" + std::to_string(1 + Pick(4)) + ").f = " + Expression(1) + ";\n";
  }
}

std::string ProgramGenerator::Block(int depth, int count) {
  std::string text;
  for (int i = 0; i < count; i++) text += Statement(depth);
  return text;
}

std::string ProgramGenerator::Guarded(const std::string& statement) {
  return "try\n" + statement + "catch\n  disp(lasterr)\nend\n";
}

std::string ProgramGenerator::Program() {
  std::string start = "a = " + Number() + "; b = [1 2 3]; c = " + Number() + "; w = {};\n";
  // Each statement on its own: an error ends only that one.
  std::string text = start, body = start;
  for (int i = 0; i < 4; i++) text += Guarded(Statement(2));
  for (int i = 0; i < 6; i++) body += Guarded(Statement(2));
  text += Guarded("generated();\n");
  return text + "function generated()\n" + body + "endfunction\n";
}

std::string ProgramGenerator::ScalarExpression(const std::vector<std::string>& names, int level,
                                               int depth, int* calls) {
  const auto leaf = [&] {
    if (failing_ && Chance(5)) return std::string("nothere");  // fails where it is read
    if (Chance(60)) return names[Pick(static_cast<int>(names.size()))];
    return Chance(80) ? SmallNumber() : Number();
  };
  if (depth <= 0) return leaf();
  switch (Pick(9)) {
    case 0:
    case 1:
    case 2:
      // A power now and then only: powers soon leave the finite numbers.
      return ScalarExpression(names, level, depth - 1, calls) +
             kScalarBinary[Pick(Chance(5) ? 6 : 5)] +
             ScalarExpression(names, level, depth - 1, calls);
    case 3:
      return "(" + ScalarExpression(names, level, depth - 1, calls) + ")";
    case 4:
      return std::string(kScalarUnary[Pick(7)]) + "(" +
             ScalarExpression(names, level, depth - 1, calls) + ")";
    case 5:
    case 6:
      if (level > 0 && *calls > 0) return CallBelow(names, level, depth - 1, calls);
      return leaf();
    default:
      return leaf();
  }
}

std::string ProgramGenerator::CallBelow(const std::vector<std::string>& names, int level, int depth,
                                        int* calls) {
  // Mostly the level just below; now and then one further down.
  const int wanted = Chance(80) ? level - 1 : Pick(level);
  std::vector<int> candidates;
  for (int i = 0; i < static_cast<int>(callees_.size()); i++)
    if (callees_[i].level == wanted && callees_[i].output && !callees_[i].recursive)
      candidates.push_back(i);
  if (candidates.empty()) return names[0];
  (*calls)--;
  const int f = candidates[Pick(static_cast<int>(candidates.size()))];
  std::string text = "f" + std::to_string(f) + "(" + ScalarExpression(names, 0, depth, calls);
  // A two-input function given one now and then: its read of the second fails.
  if (callees_[f].inputs == 2 && Chance(90))
    text += ", " + ScalarExpression(names, 0, depth, calls);
  return text + ")";
}

std::string ProgramGenerator::CalleeText(int index) {
  const Callee& f = callees_[index];
  // A few functions read a name that is not there somewhere.
  failing_ = Chance(8);
  const std::string name = "f" + std::to_string(index);
  std::vector<std::string> names = {"x"};
  if (f.inputs == 2) names.push_back("y");
  std::string text = std::string("function ") + (f.output ? "r = " : "") + name + "(" +
                     (f.inputs == 2 ? "x, y" : "x") + ")\n";
  if (f.recursive) {
    // Down by one or two from any value to below two: NaN and Inf stop at
    // once. The base cases may call below.
    int calls = 2;
    text += "  if x >= 2\n    if x < " + std::to_string(3 + Pick(7)) + "\n      r = " + name +
            "(x - 1)" + kScalarBinary[Pick(3)] + name + "(x - 2)" + kScalarBinary[Pick(3)] +
            SmallNumber() +
            ";\n    else\n      r = " + ScalarExpression(names, f.level, 2, &calls) +
            ";\n    end\n  else\n    r = " + ScalarExpression(names, f.level, 1, &calls) +
            ";\n  end\nendfunction\n";
    return text;
  }
  // A few locals first, then the output on each way through the branches;
  // each way makes at most two calls.
  for (int i = Pick(3); i > 0; i--) {
    int calls = Chance(30) ? 1 : 0;
    const std::string local = "t" + std::to_string(names.size());
    text += "  " + local + " = " + ScalarExpression(names, f.level, 2, &calls) + ";\n";
    names.push_back(local);
  }
  const std::string out = f.output ? "r" : "t";
  const auto assign = [&](const std::string& indent, int* calls) {
    std::string line = indent + out + " = " + ScalarExpression(names, f.level, 3, calls) + ";\n";
    // A call as a statement, its value dropped.
    if (f.level > 0 && *calls > 0 && Chance(15))
      line += indent + CallBelow(names, f.level, 1, calls) + ";\n";
    return line;
  };
  int calls = 2;
  switch (Pick(4)) {
    case 0: {
      // A comparison with a call in it picks the way.
      int tested = 1;
      text += "  if " + ScalarExpression(names, f.level, 1, &tested) + kComparisons[Pick(6)] +
              ScalarExpression(names, f.level, 1, &tested) + "\n";
      int first = 2 - (1 - tested), second = first;
      text += assign("    ", &first);
      // No else: the output is not set on that way.
      if (!Chance(8)) text += "  else\n" + assign("    ", &second);
      text += "  end\n";
      break;
    }
    case 1: {
      text += "  if x" + std::string(kComparisons[Pick(6)]) + SmallNumber() + "\n";
      int a = calls, b = calls, c = calls;
      text += assign("    ", &a) + "  elseif " + names.back() + kComparisons[Pick(6)] +
              SmallNumber() + "\n" + assign("    ", &b) + "  else\n" + assign("    ", &c) +
              "  end\n";
      break;
    }
    default:
      text += assign("  ", &calls);
      break;
  }
  // The output set again from itself now and then.
  if (f.output && Chance(20)) text += "  r = r" + std::string(kScalarBinary[Pick(5)]) + "x;\n";
  return text + "endfunction\n";
}

std::string ProgramGenerator::Argument() {
  switch (Pick(20)) {
    case 0:
      return "int8(" + std::to_string(Pick(7) - 2) + ")";
    case 1:
      return "single(" + Number() + ")";
    case 2:
      return "[" + Number() + ", " + Number() + "]";
    case 3:
      return Chance(50) ? "true" : "2i";
    case 4:
      return Chance(50) ? "'a'" : "{1}";
    case 5:
      return "uint16(" + std::to_string(Pick(5)) + ")";
    case 6:
      return Number();
    default:
      return Chance(50) ? SmallNumber() : "k * " + SmallNumber() + " - " + std::to_string(Pick(4));
  }
}

std::string ProgramGenerator::SmallNumber() {
  return Chance(30) ? std::to_string(Pick(9) - 2)
                    : std::to_string(Pick(5)) + "." + std::to_string(Pick(100));
}

std::string ProgramGenerator::CallProgram() {
  // Chains two to six deep; some files of hundreds of functions, so that
  // the tables kept by code position and by function collide.
  const int levels = 2 + Pick(5);
  const int count = Chance(30) ? 150 + Pick(350) : 20 + Pick(100);
  callees_.clear();
  for (int i = 0; i < count; i++) {
    Callee f;
    f.level = i * levels / count;
    f.recursive = Chance(5);
    f.inputs = !f.recursive && Chance(25) ? 2 : 1;
    f.output = f.recursive || !Chance(4);
    callees_.push_back(f);
  }
  // Defined in no particular order.
  std::vector<int> order(count);
  for (int i = 0; i < count; i++) order[i] = i;
  std::shuffle(order.begin(), order.end(), random_);
  std::string functions;
  for (int i : order) functions += CalleeText(i);
  // Each call's value printed in full, with its class.
  std::string calls;
  for (int i = 3 + Pick(6); i > 0; i--) {
    const int f = Chance(60) ? count - 1 - Pick(std::max(1, count / levels)) : Pick(count);
    std::string args = Argument();
    if (callees_[f].inputs == 2) args += ", " + Argument();
    const std::string call = "f" + std::to_string(f) + "(" + args + ")";
    calls += Guarded(callees_[f].output
                         ? "  v = " + call + ";\n  fprintf('%.17g ', v);\n  disp(class(v))\n"
                         : "  " + call + ";\n");
  }
  const std::string loop = "for k = 0:" + std::to_string(1 + Pick(4)) + "\n" + calls + "end\n";
  return loop + "driver();\nfunction driver()\n" + loop + "endfunction\n" + functions;
}

}  // namespace vke::test
