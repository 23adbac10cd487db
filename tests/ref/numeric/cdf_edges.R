# Writes cdf_edges.csv: the distribution functions at the edges of their arguments, against R.
#   which = 1: x, par1, par2 in; p, q are R's lower and upper tails (pnorm, pt, pchisq, pf,
#              pgamma with lower.tail both ways), kept where each is 0 or at least 1e-300.
#   which = 2: p, q in; x the quantile: -Inf/Inf/0 at p = 0 or q = 0 as R's q-functions give,
#              else the root of log P(tail at x) = log s in log|x| by uniroot on R's
#              p-functions (R's qf, qt and qbeta lose digits far in the lower tail and near
#              the centre of t, which is solved from the central probability 2 (0.5 - s));
#              Inf beyond the largest double; rows below 1e-300 are left out.
#   status: what the call reports (-2/-3 at p = 0/q = 0 where R's answer is infinite, 1/2
#   beyond the doubles, the argument's status where R gives NaN).
# par1/par2: mean/sd (normal), df (t, chisq; par2 NA), dfn/dfd (f), shape/rate (gamma).
# tol is the relative tolerance of the row; `why` says why where it is not 1e-8 (none is).
# Run: Rscript cdf_edges.R   (from this folder)
f17 <- function(v) ifelse(is.infinite(v), ifelse(v > 0, "Inf", "-Inf"), sprintf("%.17g", v))
grid <- list(  # R's name, parameter pairs, points x(a, b)
  normal = list("norm", rbind(c(0, 1), c(-1e5, 1e-3)), function(a, b) a + b * c(-Inf, -40, -37, -1e-8, 0, 1e-8, 37, 40, Inf)),
  t = list("t", cbind(c(1e-3, 0.5, 1, 3, 1e10, Inf), NA), function(a, b) c(-Inf, -1e300, -1e10, -3, -1e-300, 0, 1e-10, 1e5, Inf)),
  chisq = list("chisq", cbind(c(1e-10, 0.01, 1, 1000, 1e10, Inf), NA), function(a, b) c(0, 1e-300, 1e-20, 1e-3, a * c(0.9, 1.1), a + 60 * sqrt(a), 1e300, Inf)),
  f = list("f", as.matrix(expand.grid(c(0.1, 1, 1e8, Inf), c(0.5, 5, Inf))), function(a, b) c(0, 1e-300, 1e-40, 0.5, 2, 1e40, 1e300, Inf)),
  gamma = list("gamma", rbind(c(1e-10, 1), c(1, 1e-150), c(1, 1e150), c(1000, 1), c(1e6, 1e-3)), function(a, b) c(0, 1e-300 * b, 1e-20, 1e-3, a * c(0.9, 1.1), a + 60 * sqrt(a), 1e300, Inf) / b))
rows <- list()
add <- function(dist, which, p, q, x, a, b, status) rows[[length(rows) + 1]] <<- data.frame(dist, which,
  p = f17(p), q = f17(q), x = f17(x), par1 = f17(a), par2 = ifelse(is.na(b), "0", f17(b)), status, tol = 1e-8, why = "")
call <- function(kind, v, ...) { fn <- match.fun(paste0(kind, name)); if (is.na(b)) fn(v, a, ...) else fn(v, a, b, ...) }
quantile <- function(s, lower) {
  if (s == 0) return(if (!lower) Inf else if (dist %in% c("normal", "t")) -Inf else 0)
  if (dist == "normal") return(qnorm(s, a, b, lower.tail = lower))
  if (dist == "t" && s == 0.5) return(0)
  upper <- dist == "t" || !lower
  g <- function(u) log(call("p", exp(u), lower.tail = !upper)) - log(s)
  if (dist == "t" && s > 0.25) g <- function(u) {
    x2 <- exp(2 * u)
    log(if (is.infinite(a)) pchisq(x2, 1) else pbeta(1 / (1 + a / x2), 0.5, a / 2)) - log(2 * (0.5 - s))
  }
  ends <- log(c(1e-300, .Machine$double.xmax))
  at <- sapply(ends, g)
  x <- if ((at[1] < 0 && at[2] < 0) || (at[1] > 0 && at[2] > 0)) {
    if ((at[2] > at[1]) == (at[2] < 0)) Inf else NA
  } else exp(uniroot(g, ends, tol = 1e-14)$root)
  if (dist == "t" && lower) -x else x
}
for (dist in names(grid)) for (i in seq_len(nrow(grid[[dist]][[2]]))) {
  name <- grid[[dist]][[1]]
  a <- grid[[dist]][[2]][i, 1]
  b <- grid[[dist]][[2]][i, 2]
  for (x in unique(grid[[dist]][[3]](a, b))) {
    tails <- c(call("p", x), call("p", x, lower.tail = FALSE))
    if (!any(is.nan(tails) | (tails > 0 & tails < 1e-300))) add(dist, 1, tails[1], tails[2], x, a, b, 0)
  }
  if (dist == "chisq" && is.infinite(a)) next  # R: Inf for every p > 0
  for (s in c(0, 1e-300, 1e-100, 1e-20, 0.25, if (dist == "t") c(0.5 - 1e-9, 0.5))) for (lower in c(TRUE, FALSE)) {
    x <- quantile(s, lower)
    if (is.na(x) || (!lower && s == 0.5)) next
    status <- if (s == 0 && !lower) -3 else if (s == 0 && is.infinite(x)) -2 else if (is.infinite(x)) 1.5 + sign(x) / 2 else 0
    add(dist, 2, if (lower) s else 1 - s, if (lower) 1 - s else s, x, a, b, status)
  }
}
# Arguments out of range: R gives NaN, the call the argument's status.
add("t", 2, 0.5, 0.5, qt(0.5, -1), -1, NA, -5)
add("chisq", 2, -0.1, 1.1, qchisq(-0.1, 2), 2, NA, -2)
add("normal", 2, 0.3, 0.7, qnorm(0.3, 0, -1), 0, -1, -6)
add("gamma", 2, 0.3, 0.7, qgamma(0.3, 2, -1), 2, -1, -6)
add("t", 1, pt(1, -1), pt(1, -1), 1, -1, NA, -5)
add("normal", 1, pnorm(1, 0, -1), pnorm(1, 0, -1), 1, 0, -1, -6)
out <- "cdf_edges.csv"
writeLines(paste("#", R.version.string), out)
suppressWarnings(write.table(do.call(rbind, rows), out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE))
