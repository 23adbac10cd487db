// Runs the qmx binary as a child process for the command-line tests: exit status, standard
// output and standard error of one invocation, per-process temporary file names, CSV cells.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliCases.h"

namespace qmxcli {

// Exit status (-1 when the process did not exit normally), standard output and error.
using Outcome = clicases::Outcome;

inline const std::string kSource = QMX_TEST_SOURCE_DIR;

// Per-process names: CTest runs the cases in parallel as separate processes.
inline std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "qmx_cli_test_" + std::to_string(::getpid()) + "_" + name;
}

using ::readFile;
using clicases::exists;

// The cells of a CSV text without quoted commas; empty and '#' lines are left out.
inline std::vector<std::vector<std::string>> csvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.emplace_back(1);
    bool quoted = false;  // a field in double quotes holds commas and doubled quotes
    for (std::size_t at = 0; at < line.size(); ++at) {
      if (line[at] == '"' && quoted && at + 1 < line.size() && line[at + 1] == '"')
        rows.back().back() += line[at++];
      else if (line[at] == '"')
        quoted = !quoted;
      else if (line[at] == ',' && !quoted)
        rows.back().emplace_back();
      else
        rows.back().back() += line[at];
    }
  }
  return rows;
}

// Runs the shell command `command` from the source directory; its standard error is the
// whole command's.
inline Outcome runShell(const std::string& command) {
  const std::string errPath = tempPath("stderr.txt");
  const std::string line = "cd " + kSource + " && (" + command + ") 2>" + errPath;
  Outcome outcome;
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    outcome.out.append(buffer, got);
  const int raw = pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.err = readFile(errPath);
  std::remove(errPath.c_str());
  return outcome;
}

// Runs qmx with `arguments` (already quoted for the shell) from the source directory.
inline Outcome runQmx(const std::string& arguments) {
  return runShell(std::string(QMX_EXECUTABLE) + " " + arguments);
}

}  // namespace qmxcli
