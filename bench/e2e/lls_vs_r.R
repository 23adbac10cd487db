# Times R's lm.fit on the in-memory least-squares problem of DoubleLLSBench.cpp: 1e6 rows,
# p = 20 and p = 100 (intercept plus standard normal columns), y = X beta + N(0, 0.01^2),
# beta_j = 1 / (j + 1). Run: OPENBLAS_NUM_THREADS=1 Rscript bench/e2e/lls_vs_r.R
set.seed(20240601)
n <- 1e6
cat(R.version.string, "\n")
for (p in c(20, 100)) {
  X <- cbind(1, matrix(rnorm(n * (p - 1)), n, p - 1))
  beta <- 1 / (seq_len(p) + 1)
  y <- drop(X %*% beta) + rnorm(n, sd = 0.01)
  t <- system.time(fit <- lm.fit(X, y))[["elapsed"]]
  err <- max(abs(fit$coefficients - beta))
  if (err > 1e-3) stop("lm.fit answer is off: ", err)
  cat(sprintf("lm.fit n=%d p=%d: %.2f s, %.3g rows/s (max |coef - beta| = %.2g)\n", n, p, t,
              n / t, err))
  rm(X, y, fit)
  invisible(gc())
}
