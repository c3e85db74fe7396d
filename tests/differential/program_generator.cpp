#include "tests/differential/program_generator.hpp"

namespace vke::test {

namespace {

constexpr const char* kVariables[] = {"a", "b", "c", "w"};
constexpr const char* kBinary[] = {
    " + ", " - ", " .* ", " ./ ", " * ", " == ", " ~= ", " < ", " >= ", " & ", " | ", ":", " .^ "};
constexpr const char* kIntegerClasses[] = {"int8",  "uint8",  "int16", "uint16",
                                           "int32", "uint32", "int64", "uint64"};
constexpr const char* kUnary[] = {"abs",  "floor",   "sum", "numel",  "size",  "max",   "min",
                                  "sqrt", "isempty", "any", "double", "round", "cumsum"};

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
      return Variable() + "(end + " + std::to_string(Pick(3)) + ") = " + Expression(1) + ";\n";
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

}  // namespace vke::test
