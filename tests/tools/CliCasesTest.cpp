// The commands of qmx as tables of cases (cases/*.tsv, read by tests/support/CliCases.h):
// arguments (or, in the tables run by runShell, shell commands around ${QMX}), exit status,
// standard output, the full standard error, the file that must not be left behind (nor a
// temporary file of it), and a written file compared whole with expected/.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/CliCases.h"
#include "tools/QmxCliRunner.h"

namespace {

void runTable(const std::string& name, const clicases::Runner& runner = qmxcli::runQmx) {
  const std::map<std::string, std::string> vars = {
      {"TMP", qmxcli::tempPath("")}, {"OUT", qmxcli::tempPath("out")},
      {"DATA", "tests/tools/data"},  {"EXPECTED", qmxcli::kSource + "/tests/tools/expected"},
      {"QMX", QMX_EXECUTABLE},       {"BUILD", QMX_TEST_BINARY_DIR}};
  const int cases =
      clicases::runCliCases(qmxcli::kSource + "/tests/tools/cases/" + name, vars, runner);
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

TEST(CliCases, OptionLimitsEmptyDataAndTerminalText) {
  runTable("limits.tsv");
}

// Rows are shell commands: links, modes, devices, pipes, signals and a full disk around qmx.
TEST(CliCases, OutputTargets) {
  runTable("outputs.tsv", qmxcli::runShell);
}

// Rows are shell commands: a k-means fit against R, its scores and its compiled C package.
TEST(CliCases, KMeans) {
  runTable("kmeans.tsv", qmxcli::runShell);
}

TEST(CliCases, UnderAnAddressSpaceLimit) {
#ifdef QMX_SANITIZED
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit under ulimit -v";
#endif
  runTable("address_space.tsv", qmxcli::runShell);
}

// Rows are shell commands: standard input, gzip data, CSV options, messages and exit statuses.
TEST(CliCases, UnixHabits) {
  runTable("unix.tsv", qmxcli::runShell);
}

// Rows are shell commands around an installation into a temporary prefix.
TEST(CliCases, InstallTree) {
  runTable("install.tsv", qmxcli::runShell);
}

// Rows are shell commands: the README's qmx examples against their shown output and R's.
TEST(CliCases, ReadmeExamples) {
  runTable("readme_examples.tsv", qmxcli::runShell);
}
