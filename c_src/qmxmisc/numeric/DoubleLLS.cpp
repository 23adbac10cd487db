// DoubleLLS: lifetime, shape, element access, setters and getters, and extendR.
#include "qmxmisc/numeric/DoubleLLS.h"

#include "qmxmisc/base/QMXException.h"

DoubleLLS::DoubleLLS(const DoubleMatrix& x, const DoubleMatrix& y, long nFixed) {
  rowBind(x, y, DoubleMatrix(), nFixed);
}

DoubleLLS::~DoubleLLS() = default;

void DoubleLLS::resize(long p, long pR, long q) {
  R_.resize(p, pR);
  QTY_.resize(p, q);
  pivot_.resize(static_cast<std::size_t>(pR), 0);
  SCPY_.resize(q, q);
  SSE_.resize(q, q);
  Ybar_.resize(static_cast<std::size_t>(q), 0.0);
}

long DoubleLLS::getNRow() const {
  return R_.getNRow();
}

long DoubleLLS::getNRCol() const {
  return R_.getNCol();
}

long DoubleLLS::getNQTYCol() const {
  return QTY_.getNCol();
}

double* DoubleLLS::getRPtr(long i, long j) {
  return R_.getPtr(i, j);
}

double* DoubleLLS::getQTYPtr(long i, long j) {
  return QTY_.getPtr(i, j);
}

std::int32_t* DoubleLLS::getPivotPtr(long i) {
  return pivot_.data() + i;
}

double* DoubleLLS::getSCPYPtr(long i, long j) {
  return SCPY_.getPtr(i, j);
}

double* DoubleLLS::getYbarPtr(long i) {
  return Ybar_.data() + i;
}

double& DoubleLLS::getNRef() {
  return N_;
}

double& DoubleLLS::getSumWtRef() {
  return SumWt_;
}

bool DoubleLLS::isValid() const {
  return R_.isValid() && QTY_.isValid();
}

void DoubleLLS::validate() const {
  if (!isValid()) throw QMXException("bad object");
}

void DoubleLLS::erase() {
  resize(0, 0, 0);
}

void DoubleLLS::extendR(const lVector& newColumns) {
  for (const std::int32_t column : newColumns) {
    for (std::int32_t& entry : pivot_) {
      if (entry >= column) ++entry;
    }
    pivot_.push_back(column);
  }
  const auto p = static_cast<long>(pivot_.size());
  R_.resize(p, p);
  QTY_.resize(p, QTY_.getNCol());
}

void DoubleLLS::setR(const DoubleMatrix& r, bool check) {
  if (check) validate();
  R_ = r;
}

void DoubleLLS::setQTY(const DoubleMatrix& qty, bool check) {
  if (check) validate();
  QTY_ = qty;
}

void DoubleLLS::setPivot(const lVector& pivot, bool check) {
  if (check) validate();
  pivot_ = pivot;
}

DoubleMatrix DoubleLLS::getR(bool check) const {
  if (check) validate();
  return R_;
}

DoubleMatrix DoubleLLS::getQTY(bool check) const {
  if (check) validate();
  return QTY_;
}

lVector DoubleLLS::getPivot(bool check) const {
  if (check) validate();
  return pivot_;
}

DoubleMatrix DoubleLLS::getSCPY(bool check) const {
  if (check) validate();
  return SCPY_;
}

dVector DoubleLLS::getYbar(bool check) const {
  if (check) validate();
  return Ybar_;
}

double DoubleLLS::getN(bool check) const {
  if (check) validate();
  return N_;
}

double DoubleLLS::getSumWt(bool check) const {
  if (check) validate();
  return SumWt_;
}
