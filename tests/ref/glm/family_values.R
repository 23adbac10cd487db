# Writes family_values.csv: link, variance, unit deviance and starting values of R's glm
# families on grids reaching near 0, near 1 and to large |eta|, restricted to points where
# R's own guards (eps floors, |eta| thresholds) are inactive, so that every value is the plain
# function of its argument.
# Run: Rscript family_values.R   (from this folder)
# Columns: what, family, link, variance, a, b, value ("-" = not applicable)
#   linkfun:    a = mu,  value = make.link(link)$linkfun(mu)
#   linkinv:    a = eta, value = make.link(link)$linkinv(eta)
#   mu.eta:     a = eta, value = make.link(link)$mu.eta(eta)
#   variance:   a = mu,  value = family$variance(mu)
#   dev.resids: a = y, b = mu, value = family$dev.resids(y, mu, 1)
#   etastart:   a = y (successes when b > 0), b = binomial trials (0: none),
#               value = linkfun(mustart) with mustart from family$initialize
rows <- list()
add <- function(what, family, link, variance, a, b, value) {
  rows[[length(rows) + 1]] <<- data.frame(what = what, family = family, link = link,
    variance = variance, a = a, b = b, value = value)
}
mu01 <- c(1e-15, 1e-10, 1e-4, 0.01, 0.1, 0.25, 0.5, 0.75, 0.9, 0.99, 0.9999, 1 - 1e-10, 1 - 1e-14)
muPos <- c(1e-150, 1e-10, 0.01, 0.5, 1, 2, 10, 1e5, 1e100, 1e150)
linkGrid <- list(
  identity = list(mu = c(-1e10, -2.5, 0, 0.5, 7, 1e10), eta = c(-1e10, -2.5, 0, 0.5, 7, 1e10)),
  logit = list(mu = mu01, eta = c(-30, -20, -5, -1, 0, 0.5, 3, 15, 30)),
  probit = list(mu = mu01, eta = c(-8, -5, -1, 0, 0.3, 2, 8)),
  cloglog = list(mu = mu01, eta = c(-30, -10, -3, -1, 0, 1, 2)),
  log = list(mu = muPos, eta = c(-36, -10, -1, 0, 1, 10, 100, 300, 354)),
  inverse = list(mu = c(-4, muPos), eta = c(-10, -0.5, 0.001, 0.5, 1, 3, 1e5)),
  sqrt = list(mu = muPos, eta = c(1e-5, 0.5, 1, 3, 1e5)),
  "1/mu^2" = list(mu = muPos, eta = c(1e-5, 0.5, 1, 3, 1e5)))
for (ln in names(linkGrid)) {
  lk <- make.link(ln)
  for (mu in linkGrid[[ln]]$mu) add("linkfun", "-", ln, "-", mu, 0, lk$linkfun(mu))
  for (eta in linkGrid[[ln]]$eta) {
    add("linkinv", "-", ln, "-", eta, 0, lk$linkinv(eta))
    add("mu.eta", "-", ln, "-", eta, 0, lk$mu.eta(eta))
  }
}
families <- list(gaussian = gaussian(), binomial = binomial(), poisson = poisson(),
                 Gamma = Gamma(), inverse.gaussian = inverse.gaussian())
varMu <- list(gaussian = c(-3, 0, 2.5), binomial = mu01, poisson = muPos, Gamma = muPos,
              inverse.gaussian = c(1e-100, 0.01, 1, 3, 1e100))
for (fn in names(families)) {
  for (mu in varMu[[fn]]) add("variance", fn, "-", "-", mu, 0, families[[fn]]$variance(mu))
}
quasiVar <- c("constant", "mu(1-mu)", "mu", "mu^2", "mu^3")
quasiMu <- list("constant" = c(-3, 0, 2.5), "mu(1-mu)" = mu01, "mu" = muPos, "mu^2" = muPos,
                "mu^3" = c(1e-100, 0.01, 1, 3, 1e100))
for (v in quasiVar) {
  fam <- do.call(quasi, list(link = "identity", variance = v))
  for (mu in quasiMu[[v]]) add("variance", "quasi", "-", v, mu, 0, fam$variance(mu))
}
devGrid <- list(
  gaussian = list(y = c(-3, 0, 2.5), mu = c(-1, 0.5, 4)),
  binomial = list(y = c(0, 1e-3, 0.3, 0.5, 1), mu = c(1e-10, 0.2, 0.5, 0.9, 1 - 1e-10)),
  poisson = list(y = c(0, 1, 3, 10.5, 1e4), mu = c(1e-8, 0.5, 3, 100)),
  Gamma = list(y = c(0.01, 1, 7), mu = c(0.1, 1, 50)),
  inverse.gaussian = list(y = c(0.1, 1, 4), mu = c(0.2, 1, 9)))
for (fn in names(devGrid)) {
  for (y in devGrid[[fn]]$y) for (mu in devGrid[[fn]]$mu)
    add("dev.resids", fn, "-", "-", y, mu, families[[fn]]$dev.resids(y, mu, 1))
}
quasiDev <- list(
  "constant" = list(y = c(-3, 0, 2.5), mu = c(-1, 0.5, 4)),
  "mu(1-mu)" = list(y = c(0, 0.3, 1), mu = c(0.01, 0.4, 0.95)),
  "mu" = list(y = c(0, 2, 5.5), mu = c(0.5, 3)),
  "mu^2" = list(y = c(0.5, 2, 9), mu = c(0.3, 4)),
  "mu^3" = list(y = c(0.1, 1, 4), mu = c(0.2, 1, 9)))
for (v in quasiVar) {
  fam <- do.call(quasi, list(link = "identity", variance = v))
  for (y in quasiDev[[v]]$y) for (mu in quasiDev[[v]]$mu)
    add("dev.resids", "quasi", "-", v, y, mu, fam$dev.resids(y, mu, 1))
}
# Starting values: family$initialize run as glm.fit runs it.
mustartOf <- function(fam, y, weights) {
  nobs <- NROW(y); etastart <- NULL; mustart <- NULL; n <- NULL
  eval(fam$initialize)
  mustart
}
for (ln in c("logit", "probit", "cloglog")) {
  fam <- binomial(link = ln)
  for (y in c(0, 1)) add("etastart", "binomial", ln, "-", y, 0,
                         fam$linkfun(mustartOf(fam, y, 1)))
  for (st in list(c(0, 1), c(0, 7), c(3, 7), c(7, 7), c(12, 250), c(250, 250))) {
    ms <- mustartOf(fam, cbind(st[1], st[2] - st[1]), 1)
    add("etastart", "binomial", ln, "-", st[1], st[2], fam$linkfun(ms))
  }
}
for (ln in c("inverse", "log", "identity")) {
  fam <- Gamma(link = ln)
  for (y in c(1e-6, 0.5, 3, 1e6)) add("etastart", "Gamma", ln, "-", y, 0,
                                       fam$linkfun(mustartOf(fam, y, 1)))
}
fam <- inverse.gaussian()
for (y in c(1e-3, 0.5, 3, 1e6)) add("etastart", "inverse.gaussian", "1/mu^2", "-", y, 0,
                                     fam$linkfun(mustartOf(fam, y, 1)))
fam <- gaussian()
for (y in c(-1e6, -2, 0, 0.25, 1e6)) add("etastart", "gaussian", "identity", "-", y, 0,
                                          fam$linkfun(mustartOf(fam, y, 1)))
out <- do.call(rbind, rows)
num <- function(x) sprintf("%.17g", x)
out$a <- num(out$a); out$b <- num(out$b); out$value <- num(out$value)
con <- file("family_values.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(out, con, row.names = FALSE, quote = FALSE)
close(con)
