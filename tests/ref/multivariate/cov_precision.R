# Writes cov_precision.csv: cov() and cor() of 200000 rows of nearly uncorrelated columns and
# of the same columns shifted by 1e8, for the precision of the chunked covariance. The rows
# are not stored: the test makes them with the same formula. A Park-Miller generator
# (s <- 48271 s mod (2^31 - 1), s0 = 12345) gives two draws per row; k = floor(s / 2^14) and
#   x = k1 / 2^15 - 2,  y = k2 / 2^15 - 2  (uniform on [-2, 2), sd about 1.15)
# and the columns are t1 = x, t2 = x + 1e8 (exact in a double), c1 = y, c2 = y + x / 64.
# tol is the relative tolerance of each row: 1e-12 for every value, the shifted columns too.
# Run from this folder: Rscript cov_precision.R
n <- 200000
s <- numeric(2 * n)
state <- 12345
for (k in seq_len(2 * n)) {
  state <- (48271 * state) %% 2147483647
  s[k] <- state
}
k <- floor(s / 2^14)
x <- k[seq(1, 2 * n, 2)] / 2^15 - 2
y <- k[seq(2, 2 * n, 2)] / 2^15 - 2
d <- data.frame(t1 = x, t2 = x + 1e8, c1 = y, c2 = y + x / 64)
stopifnot(all(d$t2 - 1e8 == x), all((d$c2 - y) * 64 == x))
out <- file("cov_precision.csv", "w")
writeLines(paste0("# ", R.version.string, "; cov(), cor(), colMeans() of the rows described in cov_precision.R"), out)
writeLines("target,with,cov,cor,target_mean,with_mean,tol", out)
for (t in c("t1", "t2")) for (w in c("c1", "c2")) {
  writeLines(sprintf("%s,%s,%.17g,%.17g,%.17g,%.17g,1e-12", t, w, cov(d[[t]], d[[w]]), cor(d[[t]], d[[w]]),
                     mean(d[[t]]), mean(d[[w]])), out)
}
close(out)
