# Writes cdf_edges.csv: the distribution functions at the edges of their arguments, against R.
#   which = 1: x, par1, par2 in; p, q are R's lower and upper tails (both computed directly),
#              kept where each is exactly 0 or at least 1e-300.
#   which = 2: p, q in (p + q = 1 to the last bit when one of them is tiny); x is R's quantile,
#              -Inf/Inf/0 where R gives those, `status` the status the call reports (0; -2/-3
#              for p = 0/q = 0 where the quantile is infinite; 1/2 beyond the largest double);
#              NaN with the argument's status for arguments out of range.
# par1/par2: mean/sd (normal), df (t, chisq; par2 0), dfn/dfd (f), shape/rate (gamma).
# tol is the relative tolerance of the row; `why` says why when it is not 1e-8. Quantiles R
# itself computes through a subtraction that loses the far lower tail (qf, qt for df < 1) are
# taken from qbeta instead, and every quantile is kept only when R's distribution function
# gives back its probability (|P(x)/s - 1| <= 1e-12 times the condition number, at least 1).
# Run: Rscript cdf_edges.R   (from this folder)
f17 <- function(v) ifelse(is.infinite(v), ifelse(v > 0, "Inf", "-Inf"), sprintf("%.17g", v))
dists <- list(
  normal = list(p = function(x, a, b, lower) pnorm(x, a, b, lower.tail = lower),
                q = function(s, a, b, lower) qnorm(s, a, b, lower.tail = lower),
                d = function(x, a, b) dnorm(x, a, b),
                pars = rbind(c(0, 1), c(-1e5, 1e-3)),
                x = function(a, b) a + b * c(-Inf, -40, -37, -1e-8, 0, 1e-8, 37, 40, Inf)),
  t = list(p = function(x, a, b, lower) pt(x, a, lower.tail = lower),
           q = function(s, a, b, lower) qt(s, a, lower.tail = lower),
           d = function(x, a, b) dt(x, a),
           pars = cbind(c(1e-3, 0.5, 1, 3, 1e10, Inf), 0),
           x = function(a, b) c(-Inf, -1e300, -1e10, -3, -1e-300, 0, 1e-10, 1e5, Inf)),
  chisq = list(p = function(x, a, b, lower) pchisq(x, a, lower.tail = lower),
               q = function(s, a, b, lower) qchisq(s, a, lower.tail = lower),
               d = function(x, a, b) dchisq(x, a),
               pars = cbind(c(1e-10, 0.01, 1, 1000, 1e10, Inf), 0),
               x = function(a, b) c(0, 1e-300, 1e-20, 1e-3, a * c(0.9, 1.1), a + 60 * sqrt(a), 1e300, Inf)),
  f = list(p = function(x, a, b, lower) pf(x, a, b, lower.tail = lower),
           q = function(s, a, b, lower) qf(s, a, b, lower.tail = lower),
           d = function(x, a, b) df(x, a, b),
           pars = as.matrix(expand.grid(c(0.5, 5, Inf), c(0.1, 1, 1e8, Inf)))[, 2:1],
           x = function(a, b) c(0, 1e-300, 1e-40, 0.5, 2, 1e40, 1e300, Inf)),
  gamma = list(p = function(x, a, b, lower) pgamma(x, a, b, lower.tail = lower),
               q = function(s, a, b, lower) qgamma(s, a, b, lower.tail = lower),
               d = function(x, a, b) dgamma(x, a, b),
               pars = rbind(c(1e-10, 1), c(1, 1e-150), c(1, 1e150), c(1000, 1), c(1e6, 1e-3)),
               x = function(a, b) c(0, 1e-300 * b, 1e-20, 1e-3, a * c(0.9, 1.1), a + 60 * sqrt(a), 1e300, Inf) / b))
# The quantile from qbeta: y = qbeta on the tail's own parameters, so tiny quantiles keep
# their digits (R's qf and qt form 1/y - 1 for the lower tail and lose them).
betaQuantile <- function(dist, s, a, b, lower) {
  if (dist == "f") {
    y <- if (lower) qbeta(s, a / 2, b / 2) else qbeta(s, b / 2, a / 2)
    return(if (lower) b / a * y / qbeta(s, a / 2, b / 2, lower.tail = FALSE) else b / a / y * qbeta(s, b / 2, a / 2, lower.tail = FALSE))
  }
  if (dist == "t" && s > 0.25 && s < 0.5) {
    # Near the centre by solving for the central probability P(|T| <= t) = 2 (0.5 - s), exact
    # in a double, with pbeta (pchisq for df = Inf): R's qt and qbeta keep only about 1e-8
    # of t there.
    central <- 2 * (0.5 - s)
    logCentral <- function(u) {
      x2 <- exp(2 * u)
      log(if (is.infinite(a)) pchisq(x2, 1) else pbeta(x2 / (a + x2), 0.5, a / 2)) - log(central)
    }
    magnitude <- exp(uniroot(logCentral, c(-80, 5), tol = 1e-15)$root)
    return(if (lower) -magnitude else magnitude)
  }
  if (dist == "t" && s < 0.5) {
    mirrored <- -qt(s, a, lower.tail = !lower)  # R's qt is at times right on one side only
    if (is.finite(mirrored) && gives(mirrored, s)) return(mirrored)
    # P(|T| > t) = I_{df/(df+t^2)}(df/2, 1/2) = 2s.
    y <- qbeta(2 * s, a / 2, 0.5)
    t <- sqrt(a) * sqrt(qbeta(2 * s, a / 2, 0.5, lower.tail = FALSE)) / sqrt(y)
    return(if (lower) -t else t)
  }
  dists[[dist]]$q(s, a, b, lower)
}
rows <- list()
# R's distribution function gives back s at x within 1e-12 times the condition number.
gives <- function(x, s) {
  cond <- max(1, abs(x) * D$d(x, a, b) / s)
  abs(D$p(x, a, b, lower) / s - 1) <= 1e-12 * cond
}
add <- function(...) rows[[length(rows) + 1]] <<- data.frame(...)
for (dist in names(dists)) {
  D <- dists[[dist]]
  for (i in seq_len(nrow(D$pars))) {
    a <- D$pars[i, 1]
    b <- D$pars[i, 2]
    for (x in unique(D$x(a, b))) {
      p <- D$p(x, a, b, TRUE)
      q <- D$p(x, a, b, FALSE)
      if (any(is.nan(c(p, q)) | (c(p, q) > 0 & c(p, q) < 1e-300))) next
      add(dist, which = 1, p = f17(p), q = f17(q), x = f17(x), par1 = f17(a), par2 = f17(b),
          status = 0, tol = 1e-8, why = "")
    }
    for (s in c(0, 1e-300, 1e-100, 1e-20, 0.25, if (dist == "t") c(0.5 - 1e-9, 0.5))) for (lower in c(TRUE, FALSE)) {
      if (!lower && s == 0.5) next
      if (dist == "chisq" && is.infinite(a)) next  # R: Inf for every p > 0
      # t at s = 0.5 is 0 by symmetry (R: up to 4e-15 for df < 1).
      x <- if (dist == "t" && s == 0.5) 0 else D$q(s, a, b, lower)
      central <- dist == "t" && s > 0.25
      if (s > 0 && s < 0.5 && (central || !(is.finite(x) && x != 0 && gives(x, s)))) {
        x <- betaQuantile(dist, s, a, b, lower)
        if (is.finite(x) && (x == 0 || !gives(x, s))) next
      }
      if (is.na(x) || (x != 0 && abs(x) < 1e-300)) next
      status <- 0
      if (s == 0 && !lower) status <- -3
      if (s == 0 && lower && dist %in% c("normal", "t")) status <- -2
      if (s > 0 && is.infinite(x)) status <- if (x > 0) 2 else 1
      add(dist, which = 2, p = f17(if (lower) s else 1 - s), q = f17(if (lower) 1 - s else s),
          x = f17(x), par1 = f17(a), par2 = f17(b), status = status, tol = 1e-8, why = "")
    }
  }
}
# Arguments out of range: R gives NaN, the call its argument status.
for (bad in list(list("t", 0.5, qt(0.5, -1), -1, 0, -5), list("chisq", -0.1, qchisq(-0.1, 2), 2, 0, -2),
                 list("normal", 0.3, qnorm(0.3, 0, -1), 0, -1, -6),
                 list("gamma", 0.3, qgamma(0.3, 2, -1), 2, -1, -6)))
  add(dist = bad[[1]], which = 2, p = f17(bad[[2]]), q = f17(1 - bad[[2]]), x = f17(bad[[3]]),
      par1 = f17(bad[[4]]), par2 = f17(bad[[5]]), status = bad[[6]], tol = 1e-8, why = "")
for (bad in list(list("t", 1, pt(1, -1), -1, 0, -5), list("normal", 1, pnorm(1, 0, -1), 0, -1, -6)))
  add(dist = bad[[1]], which = 1, p = f17(bad[[3]]), q = f17(bad[[3]]), x = f17(bad[[2]]),
      par1 = f17(bad[[4]]), par2 = f17(bad[[5]]), status = bad[[6]], tol = 1e-8, why = "")
out <- "cdf_edges.csv"
writeLines(paste("#", R.version.string), out)
suppressWarnings(write.table(do.call(rbind, rows), out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE))
