// CSV parsing throughput: a file of 10 numeric columns (fixed seed) in a temporary
// directory, read by the tokenizer alone, by the metadata pass, and by QMXCsvSource into
// row blocks. Each benchmark checks the sum of the first column once, untimed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvScanner.h"
#include "qmxbase/QMXCsvSource.h"

namespace {

constexpr int kColumns = 10;

struct BenchFile {
  std::filesystem::path dir;
  std::string path;
  std::int64_t rows = 0;
  std::int64_t bytes = 0;
  double firstColumnSum = 0;  // summed in row order, as the readers do

  explicit BenchFile(std::int64_t nRows) : rows(nRows) {
    dir = std::filesystem::temp_directory_path() /
          ("qmx_csv_bench_" + std::to_string(::getpid()) + "_" + std::to_string(nRows));
    std::filesystem::create_directories(dir);
    path = (dir / "numbers.csv").string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) std::abort();
    std::mt19937_64 rng(20261205);
    std::uniform_int_distribution<std::int64_t> milli(-1000000, 1000000);
    for (int colIdx = 0; colIdx < kColumns; ++colIdx)
      std::fprintf(out, colIdx == 0 ? "x%d" : ",x%d", colIdx + 1);
    std::fputc('\n', out);
    for (std::int64_t rowIdx = 0; rowIdx < nRows; ++rowIdx) {
      for (int colIdx = 0; colIdx < kColumns; ++colIdx) {
        // k / 1000 printed with 3 decimals is exactly the decimal k/1000, which parses to
        // the same double as the division.
        const double x = static_cast<double>(milli(rng)) / 1000.0;
        if (colIdx == 0) firstColumnSum += x;
        std::fprintf(out, colIdx == 0 ? "%.3f" : ",%.3f", x);
      }
      std::fputc('\n', out);
    }
    if (std::fclose(out) != 0) std::abort();
    bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  }
  ~BenchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

const BenchFile& benchFile() {
  static const BenchFile file(/*rows=*/400000);
  return file;
}

void checkSum(double sum, const char* what) {
  if (sum != benchFile().firstColumnSum) {
    std::fprintf(stderr, "%s: first column sums to %.17g, expected %.17g\n", what, sum,
                 benchFile().firstColumnSum);
    std::abort();
  }
}

double scanFirstColumn(const std::string& path) {
  QMXCsvScanner scanner(path, QMXCsvOptions{});
  double sum = 0;
  while (scanner.next()) {
    double x = 0;
    QMXCsvParseNumber(scanner.fields()[0], x);
    sum += x;
  }
  return sum;
}

void BM_CsvScanner(benchmark::State& state) {
  const BenchFile& file = benchFile();
  checkSum(scanFirstColumn(file.path), "scanner");
  for (auto _ : state) {
    QMXCsvScanner scanner(file.path, QMXCsvOptions{});
    std::size_t fields = 0;
    while (scanner.next())
      fields += scanner.fields().size();
    benchmark::DoNotOptimize(fields);
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

void BM_CsvMetadata(benchmark::State& state) {
  const BenchFile& file = benchFile();
  const QMXCsvMetadata check = scanCsvMetadata(file.path);
  if (check.rows != file.rows) std::abort();
  for (auto _ : state) {
    QMXCsvMetadata meta = scanCsvMetadata(file.path);
    benchmark::DoNotOptimize(meta.columns[0].mean);
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

// Reads every row into a block of `chunk` rows at a time (metadata computed beforehand).
void BM_CsvSourceRead(benchmark::State& state) {
  const BenchFile& file = benchFile();
  const auto chunk = static_cast<std::size_t>(state.range(0));
  QMXCsvSource source(file.path, scanCsvMetadata(file.path));
  QMXRowBlock block;
  block.reset(source.schema());
  auto readPass = [&] {
    double sum = 0;
    while (!source.atEnd()) {
      block.clear();
      source.read(chunk, block);
      for (double x : block.numbers[0])
        sum += x;
    }
    source.rewind();
    return sum;
  };
  checkSum(readPass(), "source");
  for (auto _ : state)
    benchmark::DoNotOptimize(readPass());
  state.SetBytesProcessed(state.iterations() * file.bytes);
  state.SetItemsProcessed(state.iterations() * file.rows);
}

}  // namespace

BENCHMARK(BM_CsvScanner)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvMetadata)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvSourceRead)->Arg(/*chunk=*/10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
