// The commands of qmx as tables of cases (cases/*.tsv, read by tests/support/CliCases.h):
// arguments, exit status, standard output, the full standard error, the file that must not be
// left behind, and a written file compared whole with expected/.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/CliCases.h"
#include "tools/QmxCliRunner.h"

namespace {

void runTable(const std::string& name) {
  const std::map<std::string, std::string> vars = {
      {"TMP", qmxcli::tempPath("")},
      {"OUT", qmxcli::tempPath("out")},
      {"DATA", "tests/tools/data"},
      {"EXPECTED", qmxcli::kSource + "/tests/tools/expected"}};
  const int cases =
      clicases::runCliCases(qmxcli::kSource + "/tests/tools/cases/" + name, vars, qmxcli::runQmx);
  EXPECT_GT(cases, 0) << name;
}

}  // namespace

TEST(CliCases, Fit) {
  runTable("fit.tsv");
}

TEST(CliCases, Spec) {
  runTable("model_spec.tsv");
}

TEST(CliCases, ScoreAndPackage) {
  runTable("score.tsv");
}
