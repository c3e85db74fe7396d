// Reference values made by hand with GNU Octave and its control package,
// stored as CSV under tests/data: one line per value, "case,field,rows,
// columns" and the values row by row; lines starting with # are comments.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vke::test {

struct Matrix {
  int32_t rows = 0, cols = 0;
  std::vector<double> v;
  double At(int32_t i, int32_t j) const { return v[size_t(i) * cols + j]; }
  // Column j (row-major copy).
  std::vector<double> Column(int32_t j) const {
    std::vector<double> c;
    for (int32_t i = 0; i < rows; i++) c.push_back(At(i, j));
    return c;
  }
};
using Case = std::map<std::string, Matrix>;

// The cases of a reference file of tests/data by name ("kind/label").
inline std::map<std::string, Case> LoadReferences(const std::string& file) {
  std::map<std::string, Case> cases;
  const char* dir = std::getenv("VKE_TEST_DATA");
  if (dir == nullptr) return cases;
  std::ifstream in(std::string(dir) + "/" + file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream fields(line);
    std::string name, field, cell;
    std::getline(fields, name, ',');
    std::getline(fields, field, ',');
    Matrix m;
    std::getline(fields, cell, ',');
    m.rows = std::stoi(cell);
    std::getline(fields, cell, ',');
    m.cols = std::stoi(cell);
    while (std::getline(fields, cell, ',')) m.v.push_back(std::strtod(cell.c_str(), nullptr));
    cases[name][field] = m;
  }
  return cases;
}

}  // namespace vke::test
