# Writes cdf_quantiles.csv: quantiles of the normal, t, chi-square, F and gamma distributions
# for probabilities from far in the lower tail to far in the upper tail.
# Run: Rscript cdf_quantiles.R   (from this folder)
# Columns: dist, p, q, par1, par2, x, rok  (x has P(X <= x) = p, P(X > x) = q; gamma par2 is
# the rate; rok as below)
tails <- c(1e-250, 1e-100, 1e-20, 1e-8, 0.01, 0.3, 0.5)
rows <- list()
# pfun(x, lower) and dfun(x) are R's distribution and density functions. Column rok is 1
# when R's quantile reproduces its own probability to 1e-13 times the condition number
# |x| * density / probability (at least 1), else 0 (R's qf far in the lower tail, its qt for
# df < 1): the test compares x with R only where rok is 1.
add <- function(dist, par1, par2, qfun, pfun, dfun) {
  for (s in tails) {
    for (lower in c(TRUE, FALSE)) {
      if (!lower && s == 0.5) next
      p <- if (lower) s else 1 - s
      q <- if (lower) 1 - s else s
      x <- qfun(s, lower)
      if (!is.finite(x)) next
      back <- pfun(x, lower)
      cond <- max(1, abs(x) * dfun(x) / s)
      rok <- as.integer(abs(x) > 1e-300 && (abs(x) > 1e100 || abs(back / s - 1) <= 1e-13 * cond))
      if (!rok) message(sprintf("R unreliable: %s(%g, %g) s=%g lower=%s x=%.17g back=%.17g", dist, par1, par2, s, lower, x, back))
      rows[[length(rows) + 1]] <<- data.frame(dist = dist, p = p, q = q, par1 = par1, par2 = par2, x = x, rok = rok)
    }
  }
}
for (ms in list(c(0, 1), c(1.5, 2))) add("normal", ms[1], ms[2], function(s, l) qnorm(s, ms[1], ms[2], lower.tail = l),
                                           function(x, l) pnorm(x, ms[1], ms[2], lower.tail = l), function(x) dnorm(x, ms[1], ms[2]))
for (df in c(0.5, 1, 3, 10, 50, 1e4)) add("t", df, 0, function(s, l) qt(s, df, lower.tail = l), function(x, l) pt(x, df, lower.tail = l), function(x) dt(x, df))
for (df in c(0.3, 1, 2, 5, 30, 200)) add("chisq", df, 0, function(s, l) qchisq(s, df, lower.tail = l), function(x, l) pchisq(x, df, lower.tail = l), function(x) dchisq(x, df))
for (dfn in c(1, 3, 10, 40)) for (dfd in c(1, 4, 25, 200)) add("f", dfn, dfd, function(s, l) qf(s, dfn, dfd, lower.tail = l), function(x, l) pf(x, dfn, dfd, lower.tail = l), function(x) df(x, dfn, dfd))
for (shape in c(0.2, 1, 2.5, 10, 100)) for (rate in c(0.25, 1, 2)) add("gamma", shape, rate, function(s, l) qgamma(s, shape, rate, lower.tail = l), function(x, l) pgamma(x, shape, rate, lower.tail = l), function(x) dgamma(x, shape, rate))
d <- do.call(rbind, rows)
out <- "cdf_quantiles.csv"
writeLines(paste("#", R.version.string), out)
f17 <- function(v) sprintf("%.17g", v)
suppressWarnings(write.table(data.frame(dist = d$dist, p = f17(d$p), q = f17(d$q), par1 = f17(d$par1),
                       par2 = f17(d$par2), x = f17(d$x), rok = d$rok),
            out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE))
