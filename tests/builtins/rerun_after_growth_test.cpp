// Builtins and natives run again after the area has grown: a function that
// fails for lack of room with its operands in place runs again as it stands,
// so that it must have changed nothing before it failed. Each statement runs
// once as the reference; then its function runs with the data stack, or the
// descriptor stack, left 0, 1, 2 ... units or words of room until a run
// needs no failure, the loop's retry path running it again each time as the
// runner does once its area has grown. Every such run gives the reference's
// values and output, and leaves the operand variables as they were.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "compiler/compile.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/values/values.hpp"
#include "tests/builtins/room_limit.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using test::RoomLimit;
using test::RoomPart;
using test::TestHost;

// The operands the statements use.
const char kOperands[] =
    "x = [3 -1 2 5 0 4 -2]; v = [1; 4; 2; 7]; A = [4 -2 1; 3 6 -4; 2 1 8]; B = magic(4);"
    "z = [1+2i, -3i, 2, 4-1i]; s = 'Hello World'; t = '  trim me  '; c = {1, 'two', [3 4]};"
    "cs = {'pear', 'apple', 'fig', 'apple'}; st = struct('a', 1, 'b', 'text');"
    "i8 = int8([5 -3 7 0]); u16 = uint16([9 300 2]); L = logical([1 0 1 1]);"
    "M3 = reshape(1:24, 2, 3, 4); f = single([1.5 -2.25 3]); w = [2 NaN 1 Inf -3 2];"
    "P = [1 -3 2]; q = [1 2 3 4 5 6 7 8]; y = [0.5 0.25 3 -2];";
const char* const kOperandNames[] = {"x",  "v",   "A", "B",  "z", "s", "t", "c", "cs", "st",
                                     "i8", "u16", "L", "M3", "f", "w", "P", "q", "y"};

// One statement: the function whose room is cut, and the statement that
// calls it, its outputs named o1, o2 ...
struct RerunCase {
  const char* function;
  const char* statement;
};

// What a run left: the outputs as source text, what it printed, its code.
struct Outcome {
  std::string values;
  std::string output;
  ErrCode code = kOk;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "code " << o.code << ", values " << o.values << ", output \"" << o.output << "\"";
}

std::string ValueText(EngineContext* ctx, const std::string& name) {
  if (test::EvaluateText(ctx, name)) return "<none>";
  std::string text = test::DumpTop(ctx, 17);
  Drop(ctx);
  return text;
}

// Outputs named in the statement: o1 up to the highest.
int32_t OutputCount(const std::string& statement) {
  int32_t n = 0;
  static const std::regex output("\\bo([1-9])\\b");
  for (std::sregex_iterator i(statement.begin(), statement.end(), output), end; i != end; ++i)
    n = std::max(n, std::stoi((*i)[1]));
  return n;
}

// Runs the statement as the runner does with retry on: a function that
// asks for room runs again at once (the room it lacked is given back when
// it returns).
Outcome Run(TestHost& host, const std::string& statement) {
  EngineContext* ctx = host.ctx();
  EXPECT_EQ(test::RunCommandLine(ctx, "clear o1 o2 o3 o4"), kOk);
  host.ClearOutput();
  Outcome o;
  SetMemoryRetry(ctx, true);
  const std::string text = statement + ";";
  ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  if (e == kOk) e = kStatusSuspended;
  for (int32_t reruns = 0; e == kStatusSuspended && reruns <= 4;) {
    e = ExecuteBytecode(ctx, 1);
    if (MemoryRetryPending(ctx)) {
      SetMemoryRetry(ctx, true);
      e = kStatusSuspended;
      reruns++;
    }
  }
  SetMemoryRetry(ctx, false);
  o.code = e;
  for (int32_t k = 1; k <= OutputCount(statement); k++)
    o.values += ValueText(ctx, "o" + std::to_string(k)) + "; ";
  o.output = host.Output(1) + host.Output(2);
  return o;
}

std::string OperandTexts(EngineContext* ctx) {
  std::string text;
  for (const char* name : kOperandNames) text += ValueText(ctx, name) + "\n";
  return text;
}

// The statement at every point where its function can run out of room.
// With `grows` every run must give the reference: a function that leaves
// its operands as given whenever it lacks room never fails for it.
void ExpectRerunsGiveTheReference(TestHost& host, const RerunCase& c, bool grows) {
  SCOPED_TRACE(c.statement);
  EngineContext* ctx = host.ctx();
  const std::string operands = OperandTexts(ctx);
  RoomLimit limit(ctx, c.function);
  EXPECT_TRUE(limit.found()) << c.function;
  if (!limit.found()) return;
  const Outcome reference = Run(host, c.statement);
  EXPECT_EQ(reference.code, kOk) << reference;
  EXPECT_GT(limit.calls(), 0) << c.function << " is not called";
  std::string unassigned;
  for (int32_t k = 0; k < OutputCount(c.statement); k++) unassigned += "<none>; ";
  for (RoomPart part : {RoomPart::kData, RoomPart::kDescriptors}) {
    for (uint32_t spare = 0;; spare++) {
      limit.Arm(part, spare);
      const Outcome o = Run(host, c.statement);
      const bool failed = limit.failed();
      limit.Disarm();
      // A failure that left the stack elsewhere takes the error path, as
      // before the area could grow: no output is assigned.
      const bool reported = !grows && IsEngineMemoryCode(o.code) && o.values == unassigned;
      EXPECT_TRUE(o == reference || reported)
          << o << "\n  reference: " << reference << "\n  with "
          << (part == RoomPart::kData ? "data units " : "descriptor words ") << spare;
      if (!failed || (o != reference && !IsEngineMemoryCode(o.code))) break;
      if (spare > 100000) {
        ADD_FAILURE() << "still out of room";
        break;
      }
    }
  }
  EXPECT_EQ(OperandTexts(ctx), operands);
}

// Every function grows wherever it lacks room, unless `grows` is false:
// then a failure that left the stack elsewhere may report the shortage.
void ExpectAll(const std::vector<RerunCase>& cases, bool grows = true) {
  TestHost host({.areaBytes = 4u << 20});
  ASSERT_EQ(test::RunCommandLine(host.ctx(), kOperands), kOk) << host.Output(2);
  for (const RerunCase& c : cases) ExpectRerunsGiveTheReference(host, c, grows);
}

TEST(RerunAfterGrowth, ElementwiseMath) {
  ExpectAll({
      {"abs", "o1 = abs(x)"},
      {"abs", "o1 = abs(z)"},
      {"abs", "o1 = abs(i8)"},
      {"angle", "o1 = angle(z)"},
      {"sign", "o1 = sign(w)"},
      {"sqrt", "o1 = sqrt(x)"},
      {"sqrt", "o1 = sqrt(z)"},
      {"sqrt", "o1 = sqrt(f)"},
      {"exp", "o1 = exp(x)"},
      {"exp", "o1 = exp(z)"},
      {"log", "o1 = log(x)"},
      {"log", "o1 = log(abs(x) + 1)"},
      {"log10", "o1 = log10(x)"},
      {"log2", "o1 = log2(x)"},
      {"log1p", "o1 = log1p(x)"},
      {"expm1", "o1 = expm1(z)"},
      {"reallog", "o1 = reallog(abs(x) + 1)"},
      {"realsqrt", "o1 = realsqrt(abs(x))"},
      {"sin", "o1 = sin(x)"},
      {"cos", "o1 = cos(z)"},
      {"tan", "o1 = tan(f)"},
      {"sec", "o1 = sec(x)"},
      {"csc", "o1 = csc(x)"},
      {"cot", "o1 = cot(x)"},
      {"asin", "o1 = asin(x)"},
      {"acos", "o1 = acos(x / 10)"},
      {"acos", "o1 = acos(x)"},
      {"atan", "o1 = atan(z)"},
      {"asec", "o1 = asec(x)"},
      {"acsc", "o1 = acsc(x)"},
      {"acot", "o1 = acot(x)"},
      {"sinh", "o1 = sinh(x)"},
      {"cosh", "o1 = cosh(z)"},
      {"tanh", "o1 = tanh(x)"},
      {"sech", "o1 = sech(x)"},
      {"csch", "o1 = csch(x)"},
      {"coth", "o1 = coth(x)"},
      {"asinh", "o1 = asinh(x)"},
      {"acosh", "o1 = acosh(x)"},
      {"atanh", "o1 = atanh(x)"},
      {"atanh", "o1 = atanh(x / 10)"},
      {"asech", "o1 = asech(x)"},
      {"acsch", "o1 = acsch(x)"},
      {"acoth", "o1 = acoth(x)"},
      {"sinc", "o1 = sinc(x)"},
      {"atan2", "o1 = atan2(x, 2)"},
      {"floor", "o1 = floor(x / 3)"},
      {"ceil", "o1 = ceil(z / 3)"},
      {"fix", "o1 = fix(f)"},
      {"round", "o1 = round(x / 3)"},
      {"real", "o1 = real(z)"},
      {"imag", "o1 = imag(z)"},
      {"conj", "o1 = conj(z)"},
      {"complex", "o1 = complex(x, x)"},
      {"mod", "o1 = mod(x, 3)"},
      {"rem", "o1 = rem(i8, int8(3))"},
      {"plus", "o1 = x + x"},
      {"minus", "o1 = z - 1"},
      {"times", "o1 = x .* x"},
      {"rdivide", "o1 = x ./ 3"},
      {"ldivide", "o1 = 2 .\\ z"},
      {"power", "o1 = x .^ 2"},
      {"power", "o1 = x .^ 0.5"},
      {"power", "o1 = 2 .^ z"},
      {"realpow", "o1 = realpow(abs(x), 2)"},
      {"uminus", "o1 = -z"},
      {"uplus", "o1 = +i8"},
      {"not", "o1 = ~x"},
      {"and", "o1 = x & L(1)"},
      {"or", "o1 = or(x, 0)"},
      {"xor", "o1 = xor(x, 1)"},
      {"eq", "o1 = x == 2"},
      {"ne", "o1 = z ~= 2"},
      {"lt", "o1 = x < fliplr(x)"},
      {"le", "o1 = s <= 'l'"},
      {"gt", "o1 = i8 > 0"},
      {"ge", "o1 = f >= 1.5"},
      {"isnan", "o1 = isnan(w)"},
      {"isinf", "o1 = isinf(w)"},
      {"isfinite", "o1 = isfinite(w)"},
      {"hypot", "o1 = hypot(x, 3)"},
      {"nthroot", "o1 = nthroot(x, 3)"},
      {"gamma", "o1 = gamma(x)"},
      {"gammaln", "o1 = gammaln(abs(x) + 1)"},
      {"factorial", "o1 = factorial(abs(x))"},
      {"erf", "o1 = erf(x)"},
      {"erfc", "o1 = erfc(x)"},
      {"erfinv", "o1 = erfinv(x / 10)"},
      {"beta", "o1 = beta(abs(x) + 1, 2)"},
      {"betaln", "o1 = betaln(abs(x) + 1, 2)"},
      {"gammainc", "o1 = gammainc(abs(x), 2)"},
      {"betainc", "o1 = betainc(0.5, abs(x) + 1, 2)"},
      {"nchoosek", "o1 = nchoosek(7, 3)"},
      {"gcd", "o1 = gcd(x, 6)"},
      {"lcm", "o1 = lcm(abs(x) + 1, 4)"},
      {"factor", "o1 = factor(360)"},
      {"diln", "o1 = diln(x)"},
      {"ellipke", "[o1, o2] = ellipke(abs(x) / 10)"},
      {"ellipj", "[o1, o2, o3] = ellipj(x, 0.5)"},
      {"ellipe", "o1 = ellipe(x, 0.5)"},
      {"bitand", "o1 = bitand(u16, 6)"},
      {"bitor", "o1 = bitor(u16, uint16(5))"},
      {"bitxor", "o1 = bitxor(abs(x), 3)"},
      {"bitshift", "o1 = bitshift(u16, 2)"},
      {"bitcmp", "o1 = bitcmp(u16)"},
      {"bitget", "o1 = bitget(u16, 2)"},
      {"bitset", "o1 = bitset(u16, 1)"},
      {"graycode", "o1 = graycode(u16)"},
      {"igraycode", "o1 = igraycode(u16)"},
      {"bitall", "o1 = bitall(u16)"},
      {"sqrt", "o1 = sqrt(y)"},
      {"log", "o1 = log(y)"},
      {"asin", "o1 = asin(y)"},
      {"acos", "o1 = acos(y)"},
      {"atanh", "o1 = atanh(y)"},
      {"acoth", "o1 = acoth(y)"},
      {"acosh", "o1 = acosh(y + 1)"},
      {"asech", "o1 = asech(y)"},
      {"power", "o1 = y .^ 0.5"},
      {"power", "o1 = (-2) .^ y"},
      {"log1p", "o1 = log1p(y - 1)"},
      {"nthroot", "o1 = nthroot(y, 2)"},
      {"pdf", "o1 = pdf('normal', x, 1, 2)"},
      {"cdf", "o1 = cdf('normal', x)"},
      {"icdf", "o1 = icdf('normal', [0.1 0.5 0.9])"},
  });
}

TEST(RerunAfterGrowth, ClassesAndCasts) {
  ExpectAll({
      {"double", "o1 = double(s)"},         {"double", "o1 = double(i8)"},
      {"single", "o1 = single(z)"},         {"int8", "o1 = int8(x * 50)"},
      {"uint8", "o1 = uint8(x)"},           {"int16", "o1 = int16(z)"},
      {"uint16", "o1 = uint16(s)"},         {"int32", "o1 = int32(f)"},
      {"uint32", "o1 = uint32(x)"},         {"int64", "o1 = int64(x)"},
      {"uint64", "o1 = uint64(L)"},         {"logical", "o1 = logical(x)"},
      {"cast", "o1 = cast(x, 'int16')"},    {"typecast", "o1 = typecast(u16, 'uint8')"},
      {"swapbytes", "o1 = swapbytes(u16)"}, {"char", "o1 = char(x + 70)"},
      {"char", "o1 = char(s, 'ab', '')"},   {"setstr", "o1 = setstr(q + 64)"},
      {"class", "o1 = class(z)"},           {"isa", "o1 = isa(i8, 'integer')"},
      {"intmax", "o1 = intmax('int16')"},   {"intmin", "o1 = intmin('int8')"},
      {"map2int", "o1 = map2int(x / 10)"},  {"isnumeric", "o1 = isnumeric(s)"},
      {"isfloat", "o1 = isfloat(f)"},       {"isinteger", "o1 = isinteger(i8)"},
      {"islogical", "o1 = islogical(L)"},   {"ischar", "o1 = ischar(s)"},
      {"iscell", "o1 = iscell(c)"},         {"isstruct", "o1 = isstruct(st)"},
      {"isscalar", "o1 = isscalar(x)"},     {"isvector", "o1 = isvector(A)"},
      {"isempty", "o1 = isempty(c)"},       {"isobject", "o1 = isobject(st)"},
  });
}

TEST(RerunAfterGrowth, ReductionsAndStatistics) {
  ExpectAll({
      {"sum", "o1 = sum(A)"},
      {"sum", "o1 = sum(M3, 3)"},
      {"sum", "o1 = sum(i8)"},
      {"prod", "o1 = prod(z)"},
      {"mean", "o1 = mean(A, 2)"},
      {"std", "o1 = std(x)"},
      {"var", "o1 = var(A, 1, 2)"},
      {"kurtosis", "o1 = kurtosis(x)"},
      {"skewness", "o1 = skewness(A)"},
      {"moment", "o1 = moment(x, 3)"},
      {"cumsum", "o1 = cumsum(x)"},
      {"cumsum", "o1 = cumsum(z)"},
      {"cumprod", "o1 = cumprod(A, 2)"},
      {"max", "[o1, o2] = max(x)"},
      {"max", "o1 = max(A, [], 2)"},
      {"max", "o1 = max(x, 1)"},
      {"min", "[o1, o2] = min(w)"},
      {"min", "[o1, o2] = min(z)"},
      {"any", "o1 = any(A > 5)"},
      {"all", "o1 = all(x, 2)"},
      {"nnz", "o1 = nnz(x)"},
      {"dot", "o1 = dot(x, x)"},
      {"cross", "o1 = cross([1 2 3], [4 5 6])"},
      {"trace", "o1 = trace(B)"},
      {"cov", "o1 = cov(A)"},
      {"cov", "o1 = cov([x; x .^ 2])"},
      {"norm", "o1 = norm(A)"},
      {"norm", "o1 = norm(z, 1)"},
      {"bitany", "o1 = bitany(u16)"},
  });
}

TEST(RerunAfterGrowth, Rearrangements) {
  ExpectAll({
      {"diff", "o1 = diff(x)"},
      {"diff", "o1 = diff(A, 2, 2)"},
      {"diff", "o1 = diff(z)"},
      {"sort", "o1 = sort(x)"},
      {"sort", "[o1, o2] = sort(x)"},
      {"sort", "[o1, o2] = sort(A, 2, 'descend')"},
      {"sort", "[o1, o2] = sort(cs)"},
      {"sort", "o1 = sort(z)"},
      {"sort", "o1 = sort(s)"},
      {"find", "o1 = find(x)"},
      {"find", "[o1, o2] = find(A > 2)"},
      {"find", "[o1, o2, o3] = find(A .* (A > 2))"},
      {"find", "o1 = find(x, 2)"},
      {"fliplr", "o1 = fliplr(x)"},
      {"fliplr", "o1 = fliplr(c)"},
      {"flipud", "o1 = flipud(A)"},
      {"flipdim", "o1 = flipdim(M3, 3)"},
      {"rot90", "o1 = rot90(A, 3)"},
      {"reshape", "o1 = reshape(q, 2, 4)"},
      {"reshape", "o1 = reshape(q, [], 2)"},
      {"squeeze", "o1 = squeeze(M3(1, :, :))"},
      {"permute", "o1 = permute(M3, [3 1 2])"},
      {"ipermute", "o1 = ipermute(M3, [3 1 2])"},
      {"transpose", "o1 = A.'"},
      {"transpose", "o1 = z.'"},
      {"ctranspose", "o1 = z'"},
      {"repmat", "o1 = repmat(x, 2, 2)"},
      {"repmat", "o1 = repmat(s, 2, 1)"},
      {"kron", "o1 = kron(A, [1 -1])"},
      {"tril", "o1 = tril(B, -1)"},
      {"triu", "o1 = triu(B)"},
      {"diag", "o1 = diag(x)"},
      {"diag", "o1 = diag(B, 1)"},
      {"cat", "o1 = cat(3, A, A)"},
      {"horzcat", "o1 = horzcat(x, x)"},
      {"horzcat", "o1 = [s, 'x']"},
      {"vertcat", "o1 = vertcat(x, x)"},
      {"vertcat", "o1 = [c; c]"},
      {"unique", "[o1, o2, o3] = unique(x)"},
      {"unique", "[o1, o2, o3] = unique(z)"},
      {"unique", "[o1, o2, o3] = unique(cs)"},
      {"unique", "[o1, o2] = unique(A)"},
      {"union", "[o1, o2, o3] = union(x, q)"},
      {"intersect", "[o1, o2, o3] = intersect(x, q)"},
      {"setdiff", "[o1, o2] = setdiff(q, x)"},
      {"setxor", "o1 = setxor(x, q)"},
      {"ismember", "o1 = ismember(x, q)"},
      {"ismember", "o1 = ismember(s, 'lo')"},
      {"colon", "o1 = colon(1, 3, 20)"},
      {"meshgrid", "[o1, o2] = meshgrid(1:3, 1:2)"},
      {"ndgrid", "[o1, o2] = ndgrid(1:3, 1:2)"},
      {"ind2sub", "[o1, o2] = ind2sub([3 4], [2 7 12])"},
      {"sub2ind", "o1 = sub2ind([3 4], [1 2], [3 4])"},
      {"size", "[o1, o2] = size(M3)"},
      {"size", "o1 = size(M3)"},
      {"numel", "o1 = numel(c)"},
      {"length", "o1 = length(A)"},
      {"ndims", "o1 = ndims(M3)"},
  });
}

// Functions that take their room before they change their arguments grow
// wherever they lack it: sort for every output count, mode, dimension and
// class, repmat with its counts, and fprintf, which writes the pieces before
// a field that lacks room once, its run after growth going on behind them.
TEST(RerunAfterGrowth, TakesRoomBeforeChangingArguments) {
  ExpectAll(
      {
          {"sort", "o1 = sort(x)"},
          {"sort", "o1 = sort(x, 'descend')"},
          {"sort", "[o1, o2] = sort(x)"},
          {"sort", "[o1, o2] = sort(x, 'descend')"},
          {"sort", "[o1, o2] = sort(A, 2)"},
          {"sort", "[o1, o2] = sort(A, 2, 'descend')"},
          {"sort", "[o1, o2] = sort(M3, 3, 'descend')"},
          {"sort", "[o1, o2] = sort(z, 'descend')"},
          {"sort", "[o1, o2] = sort(f, 'descend')"},
          {"sort", "[o1, o2] = sort(i8)"},
          {"sort", "[o1, o2] = sort(zeros(0, 3))"},
          {"sort", "o1 = sort(cs, 'descend')"},
          {"sort", "[o1, o2] = sort(cs, 'descend')"},
          {"sort", "[o1, o2] = sort(cs)"},
          {"repmat", "o1 = repmat(x, 2, 2)"},
          {"repmat", "o1 = repmat(s, [2 1 2])"},
          {"repmat", "o1 = repmat(c, 1, 2)"},
          {"repmat", "o1 = repmat(i8, 0, 2)"},
          {"fprintf", "fprintf('%s\\n%s\\n', repmat('a', 1, 300), repmat('b', 1, 3000))"},
          {"fprintf", "o1 = fprintf('%s|%d\\n', repmat('c', 1, 500), 1:300)"},
      },
      true);
}

// Functions that read their options where they lie and push their result
// above their arguments, which go only once it stands, grow wherever they
// lack room: on every path, the empty and unchanged ones included.
TEST(RerunAfterGrowth, KeepsItsArgumentsUntilItsResultStands) {
  ExpectAll(
      {
          {"magic", "o1 = magic(4)"},
          {"magic", "o1 = magic(0)"},
          {"trace", "o1 = trace(B)"},
          {"diff", "o1 = diff(A, 2, 2)"},
          {"diff", "o1 = diff(z)"},
          {"diff", "o1 = diff(x, 9)"},
          {"max", "[o1, o2] = max(x)"},
          {"max", "o1 = max(A, [], 2)"},
          {"min", "[o1, o2] = min(A, [], 1)"},
          {"min", "[o1, o2] = min(w)"},
          {"size", "o1 = size(M3, 3)"},
          {"size", "[o1, o2, o3, o4] = size(A)"},
          {"numel", "o1 = numel(c)"},
          {"length", "o1 = length(A)"},
          {"ndims", "o1 = ndims(M3)"},
          {"isempty", "o1 = isempty(c)"},
          {"ischar", "o1 = ischar(s)"},
          {"any", "o1 = any(A > 5)"},
          {"any", "o1 = any(zeros(0, 3))"},
          {"all", "o1 = all(i8, 2)"},
          {"flipdim", "o1 = flipdim(M3, 3)"},
          {"flipud", "o1 = flipud(A)"},
          {"rot90", "o1 = rot90(A, 3)"},
          {"rot90", "o1 = rot90(A, 4)"},
          {"tril", "o1 = tril(B, -1)"},
          {"triu", "o1 = triu(z)"},
          {"diag", "o1 = diag(B, 1)"},
          {"diag", "o1 = diag(zeros(0, 3), 1)"},
          {"permute", "o1 = permute(M3, [3 1 2])"},
          {"ipermute", "o1 = ipermute(M3, [3 1 2])"},
          {"sum", "o1 = sum(M3, 3)"},
          {"sum", "o1 = sum(x, 1)"},
          {"sum", "o1 = sum(zeros(0, 3))"},
          {"prod", "o1 = prod(z)"},
          {"mean", "o1 = mean(A, 2)"},
          {"var", "o1 = var(A, 1, 2)"},
          {"std", "o1 = std(x)"},
          {"moment", "o1 = moment(x, 3)"},
          {"repmat", "o1 = repmat(x, 2, 2)"},
      },
      true);
}

TEST(RerunAfterGrowth, ArraysMadeFromNothing) {
  ExpectAll({
      {"zeros", "o1 = zeros(2, 3)"},
      {"ones", "o1 = ones(2, 'int8')"},
      {"eye", "o1 = eye(3, 2)"},
      {"magic", "o1 = magic(4)"},
      {"nan", "o1 = nan(2)"},
      {"inf", "o1 = inf(1, 3)"},
      {"pi", "o1 = pi"},
      {"eps", "o1 = eps(x)"},
      {"true", "o1 = true(2, 2)"},
      {"false", "o1 = false(1, 3)"},
      {"realmax", "o1 = realmax"},
      {"realmin", "o1 = realmin('single')"},
      {"cell", "o1 = cell(2, 3)"},
      {"i", "o1 = i"},
  });
}

TEST(RerunAfterGrowth, LinearAlgebra) {
  ExpectAll({
      {"mtimes", "o1 = A * A"},
      {"mtimes", "o1 = z' * z"},
      {"mldivide", "o1 = A \\ v(1:3)"},
      {"mrdivide", "o1 = x(1:3) / A"},
      {"mpower", "o1 = A ^ 3"},
      {"mpower", "o1 = A ^ -2"},
      {"inv", "o1 = inv(A)"},
      {"det", "o1 = det(B)"},
      {"lu", "[o1, o2, o3] = lu(A)"},
      {"chol", "o1 = chol(A' * A)"},
      {"qr", "[o1, o2] = qr(A)"},
      {"qr", "[o1, o2, o3] = qr(B)"},
      {"hess", "[o1, o2] = hess(B)"},
      {"schur", "[o1, o2] = schur(A)"},
      {"svd", "[o1, o2, o3] = svd(A)"},
      {"svd", "o1 = svd(z' * z)"},
      {"rank", "o1 = rank(B)"},
      {"cond", "o1 = cond(A)"},
      {"pinv", "o1 = pinv(B)"},
      {"orth", "o1 = orth(B)"},
      {"null", "o1 = null(B)"},
      {"expm", "o1 = expm(A / 10)"},
      {"eig", "[o1, o2] = eig(A)"},
      {"eig", "o1 = eig(B)"},
      {"balance", "[o1, o2] = balance(A)"},
      {"sqrtm", "o1 = sqrtm(A' * A)"},
      {"logm", "o1 = logm(A' * A)"},
      {"lyap", "o1 = lyap(-A' * A, eye(3))"},
      {"dlyap", "o1 = dlyap(A / 20, eye(3))"},
      {"care", "o1 = care(A, eye(3), eye(3))"},
      {"householder", "[o1, o2] = householder(v)"},
  });
}

TEST(RerunAfterGrowth, PolynomialsAndSignals) {
  ExpectAll({
      {"conv", "o1 = conv(x, P)"},
      {"conv2", "o1 = conv2(B, [1 2; 3 4])"},
      {"deconv", "[o1, o2] = deconv(x, P)"},
      {"filter", "[o1, o2] = filter(1, P, x)"},
      {"polyval", "o1 = polyval(P, x)"},
      {"polyder", "o1 = polyder(P)"},
      {"polyint", "o1 = polyint(P)"},
      {"roots", "o1 = roots(P)"},
      {"poly", "o1 = poly(A)"},
      {"addpol", "o1 = addpol(P, x)"},
      {"fft", "o1 = fft(x)"},
      {"ifft", "o1 = ifft(z)"},
      {"fft2", "o1 = fft2(B)"},
      {"fftn", "o1 = fftn(M3)"},
      {"interp1", "o1 = interp1(1:7, x, [1.5 2.5 6])"},
  });
}

TEST(RerunAfterGrowth, Strings) {
  ExpectAll({
      {"upper", "o1 = upper(s)"},
      {"lower", "o1 = lower(s)"},
      {"deblank", "o1 = deblank(t)"},
      {"strtrim", "o1 = strtrim(t)"},
      {"strtrim", "o1 = strtrim(s)"},
      {"strcmp", "o1 = strcmp(s, 'Hello World')"},
      {"strcmpi", "o1 = strcmpi(s, 'hello world')"},
      {"strmatch", "o1 = strmatch('ap', cs)"},
      {"strtok", "[o1, o2] = strtok(s)"},
      {"findstr", "o1 = findstr(s, 'o')"},
      {"isdigit", "o1 = isdigit('a1b2')"},
      {"isletter", "o1 = isletter(s)"},
      {"isspace", "o1 = isspace(t)"},
      {"sprintf", "o1 = sprintf('%d,', x)"},
      {"sprintf", "o1 = sprintf('%s=%g ', 'a', 1.5, 'b', 2)"},
      {"sscanf", "[o1, o2] = sscanf('3 4 5', '%d')"},
      {"join", "o1 = join(c, cs)"},
      {"base64encode", "o1 = base64encode(s)"},
      {"base64decode", "o1 = base64decode('SGVsbG8=')"},
      {"md5", "o1 = md5(s)"},
      {"sha1", "o1 = sha1(s)"},
      {"utf8encode", "o1 = utf8encode(s)"},
      {"utf8decode", "o1 = utf8decode(uint8([72 195 169]))"},
      {"swrite", "o1 = swrite(u16)"},
      {"sread", "o1 = sread(uint8([1 0 2 0]), 2, 'uint16')"},
      {"swrite", "o1 = swrite(x, 'int16;b')"},
      {"fun2str", "o1 = fun2str(@(a) a + 1)"},
      {"str2fun", "o1 = fun2str(str2fun('sin'))"},
  });
}

TEST(RerunAfterGrowth, CellsAndStructures) {
  ExpectAll({
      {"num2cell", "o1 = num2cell(A)"},
      {"num2list", "o1 = num2list(x)"},
      {"list2num", "o1 = list2num({1, 2, 3})"},
      {"struct", "o1 = struct('a', {1, 2}, 'b', 'z')"},
      {"structarray", "o1 = structarray('a', {1, 2})"},
      {"struct2cell", "o1 = struct2cell(st)"},
      {"cell2struct", "o1 = cell2struct({1; 'x'}, {'p'; 'q'}, 1)"},
      {"fieldnames", "o1 = fieldnames(st)"},
      {"isfield", "o1 = isfield(st, 'b')"},
      {"rmfield", "o1 = rmfield(st, 'a')"},
      {"getfield", "o1 = getfield(st, 'b')"},
      {"setfield", "o1 = setfield(st, 'c', x)"},
      {"orderfields", "[o1, o2] = orderfields(st)"},
      {"replist", "o1 = replist(c, 2)"},
      {"islist", "o1 = islist(c)"},
      {"deal", "[o1, o2] = deal(x, s)"},
      {"cellfun", "o1 = cellfun(@numel, c)"},
      {"cellfun", "o1 = cellfun('isempty', c)"},
      {"map", "o1 = map(@(a) a * 2, {1, 2})"},
      {"apply", "o1 = apply(@plus, {1, 2})"},
      {"optimset", "o1 = optimset('TolX', 1e-3)"},
  });
}

TEST(RerunAfterGrowth, OutputAndFunctionArguments) {
  ExpectAll({
      {"disp", "disp(x)"},
      {"disp", "disp(A)"},
      {"disp", "disp(c)"},
      {"disp", "disp(st)"},
      {"fprintf", "fprintf('%d;', x)"},
      {"fprintf", "fprintf('%s\\n', s)"},
      {"sprintf", "o1 = sprintf('%5.2f', A)"},
      {"interp1", "o1 = interp1(1:7, x, [1.5 6.5], 'nearest')"},
      {"quad", "o1 = quad(@(t) t .^ 2, 0, 1)"},
      {"fzero", "o1 = fzero(@(t) t ^ 2 - 2, [0 2])"},
      {"fminbnd", "[o1, o2] = fminbnd(@(t) (t - 1) ^ 2, [0 3])"},
      {"fminsearch", "o1 = fminsearch(@(p) sum((p - [1 2]) .^ 2), [0 0])"},
      {"ode45", "[o1, o2] = ode45(@(t, u) -u, [0 1], 1)"},
      {"ode45",
       "[o1, o2, o3] = ode45(@(t, y) [y(2); -9.81], [0 2], [1; 0], "
       "odeset('Events', @(t, y) deal(y(1), 1, -1), 'Stats', true))"},
      {"ode23", "[o1, o2] = ode23(@(t, u) -u, [0 1], 1, odeset('Stats', true))"},
      {"feval", "o1 = feval(@plus, x, 1)"},
      {"cellfun", "o1 = cellfun(@(a) a * 2, {1, 2})"},
      {"intmax", "o1 = intmax('uint8')"},
      {"schur", "[o1, o2] = schur(B, 'complex')"},
      {"fclose", "fclose('all')"},
  });
}

// Functions whose options, or whose operands, used to go (or change) before
// their results had room: they read them where they lie and push their
// results above them, or take room for everything first.
TEST(RerunAfterGrowth, OptionsAndOperandsStayUntilTheResultStands) {
  ExpectAll({
      {"cat", "o1 = cat(3, A, A)"},
      {"cat", "o1 = cat(2, x, [], q)"},
      {"cat", "o1 = cat(1, [], x)"},
      {"horzcat", "o1 = [x, [], q]"},
      {"vertcat", "o1 = [c; {}; c]"},
      {"find", "o1 = find(x, 2, 'last')"},
      {"find", "[o1, o2, o3] = find(A .* (A > 2), 3)"},
      {"nnz", "o1 = nnz(x)"},
      {"conv", "o1 = conv(A, [1 2], 2)"},
      {"conv", "o1 = conv(x, [])"},
      {"conv2", "o1 = conv2(B, [1 2; 3 4], 'valid')"},
      {"conv2", "o1 = conv2(A, ones(4), 'valid')"},
      {"filter", "[o1, o2] = filter(1, P, x, [0.5 1], 2)"},
      {"filter", "o1 = filter([1 1], 1, A, [], 1)"},
      {"deconv", "o1 = deconv(x, P)"},
      {"cov", "o1 = cov(A, 1)"},
      {"cov", "o1 = cov(x, 1)"},
      {"mpower", "o1 = A ^ 0"},
      {"mpower", "o1 = A ^ -1"},
      {"mpower", "o1 = (z(1:2).' * z(1:2)) ^ 2"},
      {"det", "o1 = det(A * 1i)"},
      {"rank", "o1 = rank(B, 1e-3)"},
      {"norm", "o1 = norm(B, 2)"},
      {"norm", "o1 = norm(A, 'fro')"},
      {"factor", "o1 = factor(1)"},
      {"intmax", "o1 = intmax"},
      {"intmin", "o1 = intmin('uint64')"},
      {"map2int", "o1 = map2int(x / 10, -1, 1, 'int16')"},
      {"schur", "[o1, o2] = schur(A, 'complex')"},
      {"interp1", "o1 = interp1(1:7, x, [2.5 3.5], 'linear')"},
      {"householderapply", "o1 = householderapply(A, [1; 2; 3], 0.5, 'r')"},
      {"ind2sub", "[o1, o2, o3] = ind2sub([2 3 4], [5 17 24])"},
      {"meshgrid", "[o1, o2] = meshgrid(1:2)"},
      {"ndgrid", "o1 = ndgrid(1:3)"},
      {"eps", "o1 = eps('single')"},
      {"cal2julian", "o1 = cal2julian(2024, 2, 29, 12, 0, 0)"},
      {"findstr", "o1 = findstr(s, 'l')"},
      {"fft", "o1 = fft(x, 4)"},
      {"fft", "o1 = fft(x, 0)"},
      {"reshape", "o1 = reshape(c, 1, 1, 3)"},
      {"reshape", "o1 = reshape(cs, [2 2])"},
      {"exist", "o1 = exist('x', 'v')"},
      {"cellfun", "o1 = cellfun(@(a) a * 2, {})"},
  });
}

// Builtins that read a text argument and then may lack room.
TEST(RerunAfterGrowth, TextArguments) {
  ExpectAll({
      {"exist", "o1 = exist('x', 'v')"},
  });
}

// error() with an identifier no table knows adds the identifier to the
// names; without room for it, it runs again once the area has grown and
// raises the error under the identifier as given.
TEST(RerunAfterGrowth, NewErrorIdentifiers) {
  TestHost host({.areaBytes = 4u << 20});
  RoomLimit limit(host.ctx(), "error");
  ASSERT_TRUE(limit.found());
  for (const std::string id : {"room:first", "room:second_id", "room:x"}) {
    SCOPED_TRACE(id);
    limit.Arm(RoomPart::kCode, 0);
    const Outcome o = vke::Run(
        host, "try, error('" + id + "', 'text'); catch, e = lasterror(); o1 = e.identifier; end");
    EXPECT_TRUE(limit.failed());
    limit.Disarm();
    EXPECT_EQ(o.code, kOk);
    EXPECT_EQ(o.values, "'" + id + "'; ");
  }
}

}  // namespace
}  // namespace vke
