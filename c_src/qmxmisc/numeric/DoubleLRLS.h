// DoubleLRLS: the least-squares factor of the regression procs: DoubleLLS (unpivoted TSQR
// folds of the data) plus the rank of the solve the proc made on it. Side conditions such as
// the sum-to-zero coding of factors are not added to the factor: a proc solves a
// reparametrised problem on R (R C, see glm/QMXProcILMContrasts.cpp), which gives the
// restricted solution with R's aliasing rule.
//
// Use: rowBind (update) every chunk and merge the fits of other row sets, solve on
// inputOrderR() / getQTY(), setFitRank with the rank of that solve.
#pragma once

#include "qmxmisc/numeric/DoubleLLS.h"

class DoubleLRLS : public DoubleLLS {
 public:
  DoubleLRLS() = default;
  // DoubleLLS(X, Y, 0).
  DoubleLRLS(const DoubleMatrix& x, const DoubleMatrix& y);
  DoubleLRLS(const DoubleLRLS& other) = default;
  DoubleLRLS& operator=(const DoubleLRLS& other) = default;
  DoubleLRLS(DoubleLRLS&& other) noexcept = default;
  DoubleLRLS& operator=(DoubleLRLS&& other) noexcept = default;
  ~DoubleLRLS() override;

  // Any argument 0: fit rank, N, positive-weight count and SumWt zeroed. Then
  // DoubleLLS::resize.
  void resize(long p, long pR, long q) override;
  // DoubleLLS::resize(0, 0, 0), N, SumWt and fit rank zeroed.
  void erase() override;

  // DoubleLLS::merge of the data of two fits; the stored rank is dropped.
  void merge(const DoubleLRLS& other);

  long nCoef() const { return R_.getNCol(); }
  long nResp() const { return QTY_.getNCol(); }

  // The rank stored by setFitRank, computed (tolerance 1e-7) when below 1.
  long fitRank();
  // Stores the rank of a solve made outside (R's parametrisation of a model).
  void setFitRank(long rank) { fitRank_ = static_cast<std::int32_t>(rank); }

 private:
  std::int32_t fitRank_ = 0;
};
