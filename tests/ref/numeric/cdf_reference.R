# Writes the references of the normal, t, chi-square, F and gamma distribution functions over
# one grid of parameters (t and chisq: par2 = 0; gamma: par2 is the rate):
#   cdf_probabilities.csv  dist, x, par1, par2, p, q: lower and upper tails at points reaching
#                          far into both, kept where both are normal doubles (above 1e-300).
#   cdf_quantiles.csv      dist, p, q, par1, par2, x, rok: x with P(X <= x) = p, P(X > x) = q
#                          for tails from 1e-250 to 0.5. rok is 1 when R's quantile reproduces
#                          its own probability to 1e-13 times the condition number
#                          |x| density / probability (at least 1), else 0 (R's qf far in the
#                          lower tail, its qt for df < 1): the test compares x with R only there.
# Run: Rscript cdf_reference.R   (from this folder)
grid <- list(
  normal = list(fns = c(pnorm, qnorm, dnorm), pars = rbind(c(0, 1), c(1.5, 2)),
                x = c(-38, -30, -20, -10, -5, -1.5, -0.3, 0, 0.7, 2, 8, 15, 25, 37)),
  t = list(fns = c(pt, qt, dt), pars = cbind(c(0.5, 1, 3, 10, 50, 1e4), 0),
           x = c(-1e6, -300, -30, -5, -1, -0.1, 0, 0.5, 2, 10, 80, 1000, 1e8)),
  chisq = list(fns = c(pchisq, qchisq, dchisq), pars = cbind(c(0.3, 1, 2, 5, 30, 200), 0),
               x = c(1e-6, 0.01, 0.5, 1, 3.841458820694124, 10, 50, 200, 600, 1200)),
  f = list(fns = c(pf, qf, df), x = c(1e-4, 0.1, 0.9, 1, 3, 20, 300, 1e4, 1e8),
           pars = as.matrix(expand.grid(c(1, 4, 25, 200), c(1, 3, 10, 40)))[, 2:1]),  # dfn, dfd
  gamma = list(fns = c(pgamma, qgamma, dgamma), x = c(1e-5, 0.1, 1, 4, 20, 90, 300),
               pars = as.matrix(expand.grid(c(0.25, 1, 2), c(0.2, 1, 2.5, 10, 100)))[, 2:1]))
f17 <- function(v) sprintf("%.17g", v)
probs <- list()
quants <- list()
for (dist in names(grid)) for (i in seq_len(nrow(grid[[dist]]$pars))) {
  a <- grid[[dist]]$pars[i, 1]
  b <- grid[[dist]]$pars[i, 2]
  fn <- function(k, v, ...) if (b == 0) grid[[dist]]$fns[[k]](v, a, ...) else grid[[dist]]$fns[[k]](v, a, b, ...)
  x <- if (dist == "normal") a + b * grid[[dist]]$x else grid[[dist]]$x
  p <- fn(1, x)
  q <- fn(1, x, lower.tail = FALSE)
  keep <- pmin(p, q) > 1e-300
  probs[[length(probs) + 1]] <- data.frame(dist, x = f17(x), par1 = f17(a), par2 = f17(b), p = f17(p), q = f17(q))[keep, ]
  for (s in c(1e-250, 1e-100, 1e-20, 1e-8, 0.01, 0.3, 0.5)) for (lower in c(TRUE, FALSE)) {
    if (!lower && s == 0.5) next
    x <- fn(2, s, lower.tail = lower)
    if (!is.finite(x)) next
    back <- fn(1, x, lower.tail = lower)
    rok <- as.integer(abs(x) > 1e-300 && (abs(x) > 1e100 || abs(back / s - 1) <= 1e-13 * max(1, abs(x) * fn(3, x) / s)))
    quants[[length(quants) + 1]] <- data.frame(dist, p = f17(if (lower) s else 1 - s), q = f17(if (lower) 1 - s else s),
                                               par1 = f17(a), par2 = f17(b), x = f17(x), rok = rok)
  }
}
for (out in c("cdf_probabilities.csv", "cdf_quantiles.csv")) {
  writeLines(paste("#", R.version.string), out)
  rows <- if (out == "cdf_probabilities.csv") probs else quants
  suppressWarnings(write.table(do.call(rbind, rows), out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE))
}
