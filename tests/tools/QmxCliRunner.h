// Runs the qmx binary as a child process for the command-line tests: exit status, standard
// output and standard error of one invocation, and per-process temporary file names.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/CliCases.h"

namespace qmxcli {

// Exit status (-1 when the process did not exit normally), standard output and error.
using Outcome = clicases::Outcome;

inline const std::string kSource = QMX_TEST_SOURCE_DIR;

// Per-process names: CTest runs the cases in parallel as separate processes.
inline std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "qmx_cli_test_" + std::to_string(::getpid()) + "_" + name;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

using clicases::exists;

// Runs qmx with `arguments` (already quoted for the shell) from the source directory.
inline Outcome runQmx(const std::string& arguments) {
  const std::string errPath = tempPath("stderr.txt");
  const std::string command =
      "cd " + kSource + " && " + QMX_EXECUTABLE + " " + arguments + " 2>" + errPath;
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
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

}  // namespace qmxcli
