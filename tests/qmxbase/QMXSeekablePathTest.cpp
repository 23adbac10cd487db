// A CSV file given as a FIFO is read in several passes (metadata, data, rewind) from one
// temporary copy. A reader that opens the FIFO again would wait for a writer for ever: the
// writer thread here gives such a reader an end of file after a few seconds, so the test
// fails instead of hanging.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "CaseFile.h"
#include "qmxbase/QMXCsvSource.h"

TEST(QMXSeekablePath, FifoIsReadInSeveralPasses) {
  TempDir dir;
  const std::string fifo = dir.path("in.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> finished = false;
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    const std::string text = "g\ra\rb\ra\r";
    EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    for (int waited = 0; !finished && waited < 50; ++waited) {
      const int late = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (late >= 0) ::close(late);  // a second reader is waiting: end it
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  QMXRowBlock block;
  const std::string error = dataErrorOf([&] {
    QMXCsvSource source(fifo, scanCsvMetadata(fifo));
    block.reset(source.schema());
    for (int pass = 0; pass < 2; source.rewind(), ++pass)
      while (source.read(2, block) > 0) {
      }
  });
  finished = true;
  writer.join();
  EXPECT_EQ(error, "(no error)");
  EXPECT_EQ(block.numbers[0], (std::vector<double>{0, 1, 0, 0, 1, 0}));
}
