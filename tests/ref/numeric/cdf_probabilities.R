# Writes cdf_probabilities.csv: lower and upper tail probabilities of the normal, t,
# chi-square, F and gamma distributions over a grid reaching far into both tails.
# Run: Rscript cdf_probabilities.R   (from this folder)
# Columns: dist, x, par1, par2, p, q, density  (p = lower tail, q = upper tail; gamma par2 is
# the rate)
rows <- list()
add <- function(dist, x, par1, par2, p, q) {
  dens <- switch(dist, normal = dnorm(x, par1, par2), t = dt(x, par1), chisq = dchisq(x, par1),
                 f = df(x, par1, par2), gamma = dgamma(x, par1, par2))
  rows[[length(rows) + 1]] <<- data.frame(dist = dist, x = x, par1 = par1, par2 = par2, p = p, q = q, density = dens)
}
for (ms in list(c(0, 1), c(1.5, 2))) {
  for (x in c(-38, -30, -20, -10, -5, -1.5, -0.3, 0, 0.7, 2, 8, 15, 25, 37)) {
    xx <- ms[1] + ms[2] * x
    add("normal", xx, ms[1], ms[2], pnorm(xx, ms[1], ms[2]), pnorm(xx, ms[1], ms[2], lower.tail = FALSE))
  }
}
for (df in c(0.5, 1, 3, 10, 50, 1e4)) {
  for (t in c(-1e6, -300, -30, -5, -1, -0.1, 0, 0.5, 2, 10, 80, 1000, 1e8)) {
    add("t", t, df, 0, pt(t, df), pt(t, df, lower.tail = FALSE))
  }
}
for (df in c(0.3, 1, 2, 5, 30, 200)) {
  for (x in c(1e-6, 0.01, 0.5, 1, 3.841458820694124, 10, 50, 200, 600, 1200)) {
    add("chisq", x, df, 0, pchisq(x, df), pchisq(x, df, lower.tail = FALSE))
  }
}
for (dfn in c(1, 3, 10, 40)) {
  for (dfd in c(1, 4, 25, 200)) {
    for (f in c(1e-4, 0.1, 0.9, 1, 3, 20, 300, 1e4, 1e8)) {
      add("f", f, dfn, dfd, pf(f, dfn, dfd), pf(f, dfn, dfd, lower.tail = FALSE))
    }
  }
}
for (shape in c(0.2, 1, 2.5, 10, 100)) {
  for (rate in c(0.25, 1, 2)) {
    for (x in c(1e-5, 0.1, 1, 4, 20, 90, 300)) {
      add("gamma", x, shape, rate, pgamma(x, shape, rate), pgamma(x, shape, rate, lower.tail = FALSE))
    }
  }
}
d <- do.call(rbind, rows)
# Keep points where both tails are normal (not subnormal) doubles.
d <- d[pmin(d$p, d$q) > 1e-300, ]
out <- "cdf_probabilities.csv"
writeLines(paste("#", R.version.string), out)
f17 <- function(v) sprintf("%.17g", v)
suppressWarnings(write.table(data.frame(dist = d$dist, x = f17(d$x), par1 = f17(d$par1), par2 = f17(d$par2),
                       p = f17(d$p), q = f17(d$q), density = f17(d$density)),
            out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE))
