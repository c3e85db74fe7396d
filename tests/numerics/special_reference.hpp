// The reference values of the special functions (tests/data), as rows of a
// name and numbers: the arguments, then the value or values.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vke::test {

struct ReferenceRow {
  std::string name;
  std::vector<double> v;
};

inline std::vector<ReferenceRow> ReadSpecialReferences(const std::string& name) {
  std::vector<ReferenceRow> rows;
  const char* dir = std::getenv("VKE_TEST_DATA");
  EXPECT_NE(dir, nullptr);
  if (!dir) return rows;
  std::ifstream in(std::string(dir) + "/special_functions.txt");
  EXPECT_TRUE(in.good());
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream f(line);
    ReferenceRow row;
    f >> row.name;
    if (row.name != name) continue;
    double x;
    while (f >> x) row.v.push_back(x);
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << name;
  return rows;
}

}  // namespace vke::test
