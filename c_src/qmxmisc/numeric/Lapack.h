// Declarations of the Fortran BLAS and LAPACK routines the numeric core calls, and the
// status check every LAPACK call goes through.
//
// Fortran conventions: every argument by pointer, column-major arrays, hidden string-length
// arguments omitted (single-character options only, which every LP64 LAPACK accepts).
#pragma once

extern "C" {
// BLAS level 1
double ddot_(const int* n, const double* x, const int* incx, const double* y, const int* incy);
void daxpy_(const int* n, const double* alpha, const double* x, const int* incx, double* y,
            const int* incy);
void dscal_(const int* n, const double* alpha, double* x, const int* incx);
void dswap_(const int* n, double* x, const int* incx, double* y, const int* incy);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
void drot_(const int* n, double* x, const int* incx, double* y, const int* incy, const double* c,
           const double* s);
void drotg_(double* a, double* b, double* c, double* s);
double dnrm2_(const int* n, const double* x, const int* incx);
// BLAS level 2
void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a,
            const int* lda, const double* x, const int* incx, const double* beta, double* y,
            const int* incy);
void dger_(const int* m, const int* n, const double* alpha, const double* x, const int* incx,
           const double* y, const int* incy, double* a, const int* lda);
// BLAS level 3
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc);
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* beta, double* c, const int* ldc);
void dtrsm_(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
            const int* n, const double* alpha, const double* a, const int* lda, double* b,
            const int* ldb);
// LAPACK
void dgeqpf_(const int* m, const int* n, double* a, const int* lda, int* jpvt, double* tau,
             double* work, int* info);
void dgeqp3_(const int* m, const int* n, double* a, const int* lda, int* jpvt, double* tau,
             double* work, const int* lwork, int* info);
void dormqr_(const char* side, const char* trans, const int* m, const int* n, const int* k,
             const double* a, const int* lda, const double* tau, double* c, const int* ldc,
             double* work, const int* lwork, int* info);
void dorgqr_(const int* m, const int* n, const int* k, double* a, const int* lda, const double* tau,
             double* work, const int* lwork, int* info);
void dtrcon_(const char* norm, const char* uplo, const char* diag, const int* n, const double* a,
             const int* lda, double* rcond, double* work, int* iwork, int* info);
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info);
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
            double* work, const int* lwork, int* info);
void dlaic1_(const int* job, const int* j, const double* x, const double* sest, const double* w,
             const double* gamma, double* sestpr, double* s, double* c);
double dlamch_(const char* cmach);
}

// Throws a QMXException "LAPACK routine <routine> failed: info = <info>" when info != 0.
void lapackCheck(const char* routine, int info);
