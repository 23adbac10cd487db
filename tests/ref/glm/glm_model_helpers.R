# Writes glm_model_helpers.csv: per-row quantities (mu = linkinv(eta) and) of R's glm.fit that the GLM model's chunk
# helpers reproduce, for a Poisson log and a binomial logit model at fixed eta and y:
# mu.eta(eta), variance(mu), the working weight prior * mu.eta^2 / variance, the working
# response eta + (y - mu) / mu.eta, the prior-weighted unit deviance dev.resids(y, mu, prior),
# the null-model unit deviance dev.resids(y, mean, prior), and the starting values
# linkfun(mustart) of binomial()$initialize without trial counts (NaN for Poisson).
# Run: Rscript glm_model_helpers.R   (from this folder)
con <- file("glm_model_helpers.csv", "w")
writeLines(paste("#", R.version.string), con)
writeLines("family,eta,y,prior,mean,mu,mu.eta,variance,weight,z,dev,nulldev,start", con)
emit <- function(fam, name, eta, y, prior, mean) {
  mu <- fam$linkinv(eta)
  me <- fam$mu.eta(eta)
  v <- fam$variance(mu)
  start <- if (name == "binomial") fam$linkfun(ifelse(y < 0.5, 0.25, 0.75)) else rep(NaN, length(y))
  for (i in seq_along(eta)) {
    writeLines(sprintf("%s,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g",
      name, eta[i], y[i], prior[i], mean, mu[i], me[i], v[i], prior[i] * me[i]^2 / v[i],
      eta[i] + (y[i] - mu[i]) / me[i], fam$dev.resids(y[i], mu[i], prior[i]),
      fam$dev.resids(y[i], mean, prior[i]), start[i]), con)
  }
}
emit(poisson(), "poisson", c(-1, 0, 0.5, 2), c(0, 1, 3, 6), c(1, 2, 0.5, 1), 2.5)
emit(binomial(), "binomial", c(-2, -0.25, 0.75, 3), c(0, 1, 0, 1), c(1, 1, 3, 2), 0.4)
close(con)
