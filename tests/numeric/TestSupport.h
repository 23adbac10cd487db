// Helpers shared by the numeric tests: small matrices from text, and the two table drivers
// (full message texts in numeric_messages.tsv, matrix operations in matrix_ops.tsv; both in
// tests/ref/numeric, tab-separated, '#' lines are comments).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "support/RefCsv.h"
#include "support/ThrownMessage.h"

// A matrix from rows written as in the test text (row-major literal).
inline DoubleMatrix fromRows(const std::vector<std::vector<double>>& rows) {
  DoubleMatrix m(static_cast<long>(rows.size()), static_cast<long>(rows[0].size()));
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < rows[0].size(); ++j)
      m(static_cast<long>(i), static_cast<long>(j)) = rows[i][j];
  return m;
}

// "1 2 ; 3 4" as a 2 x 2 matrix; "-" as the empty matrix.
inline DoubleMatrix parseMatrix(const std::string& text) {
  if (text == "-") return DoubleMatrix();
  std::vector<std::vector<double>> rows(1);
  std::stringstream in(text);
  for (std::string token; in >> token;)
    if (token == ";")
      rows.emplace_back();
    else
      rows.back().push_back(std::stod(token));
  return fromRows(rows);
}

// A rows x cols matrix of zeros, or the empty matrix when rows is 0.
inline DoubleMatrix sized(long rows, long cols) {
  return rows > 0 ? DoubleMatrix(rows, cols) : DoubleMatrix();
}

// Element values in storage order, read without copying the storage.
inline std::vector<double> valuesOf(const TMatrix<double>& m) {
  return std::vector<double>(m.constData(), m.constData() + m.size());
}

// The rows of tests/ref/numeric/<name> whose first cell is `suite`, split at tabs.
inline std::vector<std::vector<std::string>> readTsv(const std::string& name,
                                                     const std::string& suite) {
  std::ifstream in(refPath("numeric", name));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream cellStream(line);
    for (std::string cell; std::getline(cellStream, cell, '\t');)
      cells.push_back(cell);
    if (!line.empty() && line[0] != '#' && cells[0] == suite) rows.push_back(cells);
  }
  return rows;
}

// The numbers of "2 -1 0" (the arguments of a message case).
inline std::vector<long> longs(const std::string& text) {
  std::vector<long> values;
  std::stringstream in(text);
  for (long value; in >> value;)
    values.push_back(value);
  return values;
}

using MessageCalls = std::map<std::string, std::function<void(const std::string& args)>>;

// Each row "suite, call, args, message": calls.at(call)(args) throws exactly message; every
// call has a row.
inline void expectMessages(const std::string& suite, const MessageCalls& calls) {
  std::map<std::string, int> uses;
  for (const auto& row : readTsv("numeric_messages.tsv", suite)) {
    ++uses[row[1]];
    ASSERT_EQ(calls.count(row[1]), 1u) << row[1];
    EXPECT_EQ(thrownMessage([&] { calls.at(row[1])(row[2]); }), row[3]) << row[1] << " " << row[2];
  }
  EXPECT_EQ(uses.size(), calls.size()) << suite << ": a call without a row";
}

using MatrixOp = std::function<DoubleMatrix(const DoubleMatrix& a, const DoubleMatrix& b)>;

// Each row "suite, op, A, B, expected": ops.at(op)(A, B) has the shape of expected and its
// elements to 1e-12 (exact small-integer problems); A is left unchanged; every op has a row.
inline void expectMatrixOps(const std::string& suite, const std::map<std::string, MatrixOp>& ops) {
  std::map<std::string, int> uses;
  for (const auto& row : readTsv("matrix_ops.tsv", suite)) {
    ++uses[row[1]];
    SCOPED_TRACE(row[1] + " of " + row[2] + " and " + row[3]);
    const DoubleMatrix a = parseMatrix(row[2]), b = parseMatrix(row[3]);
    const DoubleMatrix got = ops.at(row[1])(a, b), want = parseMatrix(row[4]);
    ASSERT_EQ(std::pair(got.getNRow(), got.getNCol()), std::pair(want.getNRow(), want.getNCol()));
    for (long k = 0; k < want.size(); ++k)
      EXPECT_NEAR(got[k], want[k], 1e-12) << "element " << k;
    EXPECT_EQ(valuesOf(a), valuesOf(parseMatrix(row[2])));
  }
  EXPECT_EQ(uses.size(), ops.size()) << suite << ": an operation without a row";
}
