# Writes cov_precision.csv: cov() and cor() of 200000 rows of nearly uncorrelated columns and
# of the same columns shifted by 1e8, for the precision of the chunked covariance. The rows
# are not stored: the test makes them with the same formula (every step rounds the same way
# in R and in C++). A Park-Miller generator (s <- 48271 s mod (2^31 - 1), s0 = 12345) gives
# four draws per row, two for each of
#   x = (s1 + s2 / 2^31) / 2^31 * 4 - 2,  y likewise  (uniform on [-2, 2), sd about 1.15,
#                                                       every bit of the mantissa used)
# and the columns are t1 = x, t2 = x + 1e8, c1 = y, c2 = y + x / 64 (each rounded to a double).
# tol is the relative tolerance of each row: 1e-12 for every value, the shifted columns too.
# Run from this folder: Rscript cov_precision.R
n <- 200000
s <- numeric(4 * n)
state <- 12345
for (k in seq_len(4 * n)) {
  state <- (48271 * state) %% 2147483647
  s[k] <- state
}
draw <- function(first) (s[seq(first, 4 * n, 4)] + s[seq(first + 1, 4 * n, 4)] / 2^31) / 2^31 * 4 - 2
x <- draw(1)
y <- draw(3)
d <- data.frame(t1 = x, t2 = x + 1e8, c1 = y, c2 = y + x / 64)
out <- file("cov_precision.csv", "w")
writeLines(paste0("# ", R.version.string, "; cov(), cor(), colMeans() of the rows described in cov_precision.R"), out)
writeLines("target,with,cov,cor,target_mean,with_mean,tol", out)
for (t in c("t1", "t2")) for (w in c("c1", "c2")) {
  writeLines(sprintf("%s,%s,%.17g,%.17g,%.17g,%.17g,1e-12", t, w, cov(d[[t]], d[[w]]), cor(d[[t]], d[[w]]),
                     mean(d[[t]]), mean(d[[w]])), out)
}
close(out)
