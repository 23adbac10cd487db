// Helpers for the CSV tests: a temporary directory removed at the end of the test and
// writing a file from a string.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class QMXCsvTempDir {
 public:
  QMXCsvTempDir() {
    static int counter = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("qmx_csv_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~QMXCsvTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  QMXCsvTempDir(const QMXCsvTempDir&) = delete;
  QMXCsvTempDir& operator=(const QMXCsvTempDir&) = delete;

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes `content` byte for byte to `name` and returns the full path.
  std::string write(const std::string& name, const std::string& content) const {
    std::string full = path(name);
    std::ofstream out(full, std::ios::binary);
    out << content;
    return full;
  }

 private:
  std::filesystem::path dir_;
};

inline std::string qmxReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
