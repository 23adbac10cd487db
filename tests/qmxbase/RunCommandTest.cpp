// qmx run as a user sees it: the qmx executable against the test procs library, with the
// cases of cases/run.txt.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "CaseFile.h"

TEST(RunCommand, Cases) {
  const std::string lib = QMX_TEST_PROCS_LIBRARY;
  TempDir dir;
  std::filesystem::copy(QMX_TEST_REF_DIR "/../qmxbase/cases/run", dir.path(""));
  for (const CaseBlock& c : readCaseFile("run.txt", "run")) {
    SCOPED_TRACE(c.where + ": " + c.head.at(1));
    std::filesystem::remove(dir.path("out.csv"));
    const std::string command = "cd '" + dir.path("") + "' && QMX_LIBRARY='" + lib + "' '" +
                                QMX_EXECUTABLE + "' run " + c.head.at(1) +
                                " >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    const std::string out = readFile(dir.path("stdout.txt"));
    std::map<std::string, std::string> want = {{"out", ""}, {"err", ""}};  // by key, appended
    for (const CaseLine& line : c.lines) {
      const std::string& key = line.words.at(0);
      std::string text = line.words.size() > 1 ? line.words.back() : "";
      if (const std::size_t at = text.find("{lib}"); at != std::string::npos)
        text.replace(at, 5, lib);
      const std::string file = dir.path(line.words.at(1));
      const std::string written = std::filesystem::exists(file) ? readFile(file) : "none";
      EXPECT_TRUE(key != "file" || written == text) << file << ":\n" << written;
      EXPECT_TRUE(key != "has" || out.find(text) != std::string::npos) << text;  // in part
      want[key] += text;
    }
    EXPECT_EQ(std::to_string(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1), want["status"]);
    EXPECT_EQ(want.count("has") ? want["out"] : out, want["out"]);
    EXPECT_EQ(readFile(dir.path("stderr.txt")), want["err"]);
  }
}
