// Chunked least squares: DoubleLLS::rowBind over 1e6 rows at p = 20 and 100 with chunks of
// 1000 and 10000 rows, against one column-pivoted QR (LAPACK dgeqp3) of the whole matrix.
// Data: intercept plus standard normal columns, y = X beta + N(0, 0.01^2), beta_j = 1/(j+1),
// fixed seed. The fold's answer is checked once, untimed, before timing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/Lapack.h"

namespace {

constexpr long kRows = 1000000;

struct Problem {
  long p = 0;
  std::vector<double> x;  // kRows x p, column-major
  std::vector<double> y;  // kRows
  std::vector<double> beta;
};

const Problem& problem(long p) {
  static std::map<long, std::unique_ptr<Problem>> cache;
  auto& slot = cache[p];
  if (!slot) {
    slot = std::make_unique<Problem>();
    slot->p = p;
    slot->x.resize(static_cast<std::size_t>(kRows * p));
    slot->y.assign(static_cast<std::size_t>(kRows), 0.0);
    slot->beta.resize(static_cast<std::size_t>(p));
    std::mt19937_64 rng(20240601);
    std::normal_distribution<double> normal;
    for (long j = 0; j < p; ++j) {
      slot->beta[j] = 1.0 / static_cast<double>(j + 2);
      double* column = slot->x.data() + j * kRows;
      for (long i = 0; i < kRows; ++i) {
        column[i] = j == 0 ? 1.0 : normal(rng);
        slot->y[i] += column[i] * slot->beta[j];
      }
    }
    for (long i = 0; i < kRows; ++i)
      slot->y[i] += 0.01 * normal(rng);
  }
  return *slot;
}

// Rows [first, first + count) of the problem as chunk matrices (column copies).
void chunkOf(const Problem& pr, long first, long count, DoubleMatrix& x, DoubleMatrix& y) {
  if (x.getNRow() != count) {
    x = DoubleMatrix(count, pr.p);
    y = DoubleMatrix(count, 1);
  }
  double* out = x.data();
  for (long j = 0; j < pr.p; ++j)
    std::memcpy(out + j * count, pr.x.data() + j * kRows + first, count * sizeof(double));
  std::memcpy(y.data(), pr.y.data() + first, count * sizeof(double));
}

DoubleLLS foldAll(const Problem& pr, long chunk, benchmark::State* state) {
  DoubleLLS lls;
  DoubleMatrix x, y;
  for (long first = 0; first < kRows; first += chunk) {
    if (state) state->PauseTiming();
    chunkOf(pr, first, std::min(chunk, kRows - first), x, y);
    if (state) state->ResumeTiming();
    lls.rowBind(x, y, DoubleMatrix(), 1);
  }
  return lls;
}

void checkFold(const Problem& pr, long chunk) {
  const DoubleMatrix coef = foldAll(pr, chunk, nullptr).coef(1e-13, true);
  for (long j = 0; j < pr.p; ++j) {
    if (std::fabs(coef(j, 0) - pr.beta[j]) > 1e-3) {
      std::fprintf(stderr, "DoubleLLS answer off at p=%ld chunk=%ld coef %ld: %g vs %g\n", pr.p,
                   chunk, j, coef(j, 0), pr.beta[j]);
      std::abort();
    }
  }
}

void BM_DoubleLLSFold(benchmark::State& state) {
  const long p = state.range(0), chunk = state.range(1);
  const Problem& pr = problem(p);
  checkFold(pr, chunk);
  for (auto _ : state) {
    DoubleLLS lls = foldAll(pr, chunk, &state);
    benchmark::DoNotOptimize(lls.getRPtr(0, 0));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_Dgeqp3Whole(benchmark::State& state) {
  const long p = state.range(0);
  const Problem& pr = problem(p);
  std::vector<double> a(pr.x.size()), tau(static_cast<std::size_t>(p));
  std::vector<int> jpvt(static_cast<std::size_t>(p));
  const int m = static_cast<int>(kRows), n = static_cast<int>(p);
  int info = 0, lwork = -1;
  double query = 0.0;
  dgeqp3_(&m, &n, a.data(), &m, jpvt.data(), tau.data(), &query, &lwork, &info);
  lwork = static_cast<int>(query);
  std::vector<double> work(static_cast<std::size_t>(lwork));
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(a.data(), pr.x.data(), a.size() * sizeof(double));
    std::fill(jpvt.begin(), jpvt.end(), 0);
    jpvt[0] = 1;
    state.ResumeTiming();
    dgeqp3_(&m, &n, a.data(), &m, jpvt.data(), tau.data(), work.data(), &lwork, &info);
    lapackCheck("dgeqp3", info);
    benchmark::DoNotOptimize(a.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

}  // namespace

BENCHMARK(BM_DoubleLLSFold)
    ->Args({/*p=*/20, /*chunk=*/1000})
    ->Args({/*p=*/20, /*chunk=*/10000})
    ->Args({/*p=*/100, /*chunk=*/1000})
    ->Args({/*p=*/100, /*chunk=*/10000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Dgeqp3Whole)
    ->Arg(/*p=*/20)
    ->Arg(/*p=*/100)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
