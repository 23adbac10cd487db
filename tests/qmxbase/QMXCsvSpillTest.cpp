// The temporary file of parsed cells (QMXCsvSpill): it never appears under its name while
// the process runs nor after a signal kills it, and a directory that cannot take it is an
// error naming the directory. Its values are checked against the text in QMXCsvCasesTest.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CaseFile.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSpill.h"

namespace {

std::string table(int rows) {
  std::string text = "x,f\n";
  for (int row = 0; row < rows; ++row)
    text += std::to_string(row) + (row % 2 ? ",a\n" : ",b\n");
  return text;
}

QMXCsvMetadata scanWithSpill(const std::string& path) {
  QMXCsvOptions options;
  options.spill = true;
  return scanCsvMetadata(path, options);
}

// The open files of process `pid` whose target starts with `prefix`.
int openFilesUnder(pid_t pid, const std::string& prefix) {
  int found = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    found += target.rfind(prefix, 0) == 0;
  }
  return found;
}

}  // namespace

TEST(QMXCsvSpill, KilledByASignalLeavesNoFile) {
  for (const int signal : {SIGTERM, SIGINT}) {
    TempDir dir;
    const std::string data = dir.write("data.csv", table(1000));
    const std::string spillDir = dir.path("spill");
    std::filesystem::create_directory(spillDir);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      QMXSetSpillDirectory(spillDir);
      const QMXCsvMetadata meta = scanWithSpill(data);
      const char byte = meta.spill ? 'y' : 'n';
      if (write(ready[1], &byte, 1) != 1) _exit(2);
      for (;;)
        pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(byte, 'y');
    // The cells are in a file the child holds open, already without a name.
    EXPECT_EQ(openFilesUnder(child, spillDir + "/qmx-cells-"), 1);
    EXPECT_TRUE(std::filesystem::is_empty(spillDir));
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_TRUE(std::filesystem::is_empty(spillDir));
  }
}

TEST(QMXCsvSpill, ADirectoryThatCannotTakeItIsAnError) {
  TempDir dir;
  const std::string data = dir.write("data.csv", table(200000));
  QMXSetSpillDirectory(dir.path("missing"));
  EXPECT_EQ(dataErrorOf([&] { scanWithSpill(data); }),
            "cannot create a temporary copy of the data in " + dir.path("missing") +
                ": No such file or directory");
  QMXSetSpillDirectory(dir.path(""));
  const std::string full = dataErrorOf([&] { QMXCsvSpill(data, {}, 1, UINT64_MAX); });
  EXPECT_EQ(full.rfind("not enough free space in " + dir.path("") + " for a temporary copy", 0), 0u)
      << full;
  // A write that fails (here a file-size limit, as a full disk would) ends the pass.
  const auto writeFails = [&] {
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    std::fputs(dataErrorOf([&] { scanWithSpill(data); }).c_str(), stderr);
    std::exit(0);
  };
  EXPECT_EXIT(writeFails(), testing::ExitedWithCode(0),
              "cannot write a temporary copy of the data in .*: File too large");
  QMXSetSpillDirectory("");
}
