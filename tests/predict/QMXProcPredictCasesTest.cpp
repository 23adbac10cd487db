// The scoring base through the host pipeline, one run per row of data/scoring_cases.tsv:
// every output type, missing rows, unknown levels, chunk invariance, the C generator switch
// and the messages of init, execute and output resolution.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "predict/PredictTestSupport.h"
#include "support/TextFiles.h"

using namespace predicttest;

namespace {

std::vector<double> numbersOf(const std::string& list) {
  std::vector<double> values;
  for (const std::string& item : splitText(list, ','))
    values.push_back(std::stod(item));
  return values;
}

// name:d=1,NaN;name:s=a,b;name:f(a/b)=a,,b ("" is a missing level).
QMXMemoryTable tableOf(const std::string& spec) {
  QMXMemoryTable table;
  if (spec == "-") return table;
  for (const std::string& column : splitText(spec, ';')) {
    const std::size_t colon = column.find(':'), equals = column.find('=');
    const std::string name = column.substr(0, colon), kind = column.substr(colon + 1, 1);
    const std::string values = column.substr(equals + 1);
    if (kind == "d") table.addDoubleColumn(name, numbersOf(values));
    if (kind == "s") table.addStringColumn(name, splitText(values, ','));
    if (kind == "f")
      table.addFactorColumn(name, splitText(values, ','),
                            splitText(column.substr(colon + 3, equals - colon - 4), '/'));
  }
  return table;
}

FakeScoringProc procOf(const std::string& fit) {
  if (fit == "classification")
    return FakeScoringProc(classificationFit(), classificationCoef(), true);
  if (fit == "twoclass")
    return FakeScoringProc(classificationFit({"lo", "hi"}), classificationCoef());
  if (fit.starts_with("cluster")) return FakeScoringProc(clusterFit(), {{1.0}}, true);
  ModelTerms model = fit == "empty" ? ModelTerms() : regressionFit();
  if (fit == "empty") model.setIntercept(false);
  if (fit == "regression-noweights") model.setWeights(String());
  if (fit == "regression-wt2") model.setWeights(String("wt2"));
  return FakeScoringProc(model,
                         fit == "empty" ? std::vector<std::vector<double>>{} : regressionCoef());
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items)
    text += (text.empty() ? "" : ",") + item;
  return text;
}

TEST(QMXProcPredict, ScoringCasesAsTabled) {
  std::ifstream in(std::string(QMX_TEST_SOURCE_DIR) + "/predict/data/scoring_cases.tsv");
  ASSERT_TRUE(in);
  std::map<std::string, QMXMemoryTable> tables = {{"regression", regressionTable()}};
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> cell = splitText(line, '\t');
    if (cell[0] == "table") {
      tables[cell[1]] = tableOf(cell[2]);
      continue;
    }
    ASSERT_EQ(cell.size(), 8u) << line;  // case fit table chunks options properties schema expect
    std::vector<std::vector<std::string>> properties;
    for (const std::string& request : splitText(cell[5], ';')) {
      if (request == "-") continue;
      properties.push_back(splitText(request, '|'));
      for (std::string& value : properties.back())
        if (value == "''") value.clear();
    }
    QMXSchema schema;
    std::map<std::string, char> kinds;
    for (const std::string& column : splitText(cell[6], ',')) {
      if (column == "-") continue;
      const std::string name = column.substr(0, column.size() - 2);
      kinds[name] = column.back();
      schema.push_back({name,
                        column.back() == 'd'   ? QMXColumnType::Double
                        : column.back() == 's' ? QMXColumnType::String
                                               : QMXColumnType::Factor,
                        {}});
    }
    const QMXMemoryTable given =
        cell[2].find(':') != std::string::npos ? tableOf(cell[2]) : QMXMemoryTable();
    const QMXMemoryTable* table = cell[2] == "none" ? nullptr
                                  : cell[2] == "-" || cell[2].find(':') != std::string::npos
                                      ? &given
                                      : &tables.at(cell[2]);
    for (const std::string& chunk : splitText(cell[3], ',')) {
      SCOPED_TRACE(cell[0] + " at chunk size " + chunk);
      FakeScoringProc proc = procOf(cell[1]);
      if (cell[1] == "cluster12") proc.setClusterCount(12);
      proc.withoutWorkingMatrices = cell[4] == "nowork";
      proc.dropPredictionRow = cell[4] == "droprow";
      proc.corruptTermIndicies = cell[4] == "corrupt";
      proc.throwForeign = cell[4] == "foreign";
      const RunResult run = runScoring(proc, table, std::stol(chunk), schema, properties);
      std::vector<std::string> errors;
      for (const std::string& item : splitText(cell[7], ';')) {
        const std::size_t equals = item.find('=');
        const std::string key = item.substr(0, equals), value = item.substr(equals + 1);
        std::string got;
        if (key == "error") {
          errors.push_back(value);
          continue;
        } else if (key == "info") {
          got = joined(messagesOf(run.messages, QMXMessageKind::Information));
        } else if (key == "generated") {
          got = joined(proc.generated);
        } else if (key == "chunkRows") {
          std::vector<std::string> rows;
          for (long n : proc.chunkRows)
            rows.push_back(std::to_string(n));
          got = joined(rows);
        } else if (kinds.at(key) == 'd') {
          EXPECT_TRUE(sameNumbers(run.output.numbers(key), numbersOf(value), 1e-12)) << key;
          continue;
        } else {
          got = joined(run.output.texts(key));
        }
        EXPECT_EQ(got, value) << key;
      }
      EXPECT_EQ(run.ok, errors.empty()) << run.error;
      EXPECT_EQ(run.error, errors.empty() ? "" : errors[0]);
      EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Error), errors);
      EXPECT_TRUE(proc.isDone());
      EXPECT_TRUE(errors.empty() || proc.matrix().getNRow() == 0) << "a failed run releases";
    }
  }
}

}  // namespace
