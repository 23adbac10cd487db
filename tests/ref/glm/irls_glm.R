# Writes irls_glm_data.csv and irls_glm_fit.csv: three small generalized linear models fitted
# by R's glm with a convergence tolerance far below the default, for checking a hand-driven
# iteratively reweighted least-squares loop and the per-row working response and weights.
# Run: Rscript irls_glm.R   (from this folder)
# Models (response ~ 1 + x):
#   logit:   binomial(logit), ybin in {0, 1}
#   poisson: poisson(log), ycount with prior weights pw
#   trials:  binomial(logit), succ successes out of trials
# irls_glm_data.csv: x, ybin, ycount, pw, succ, trials, and per model the final linear
#   predictor eta_<m>, working response z_<m> = eta + (y - mu)/mu.eta(eta) and working weight
#   w_<m> = prior * mu.eta(eta)^2 / variance(mu) (for trials: y the proportion, prior = trials)
# irls_glm_fit.csv: model, intercept, slope, deviance, null.deviance, iterations
set.seed(20261205)
n <- 25
x <- round(seq(-2, 2.8, length.out = n) + rnorm(n, sd = 0.3), 3)
ybin <- rbinom(n, 1, plogis(-0.4 + 1.1 * x))
ycount <- rpois(n, exp(0.3 + 0.6 * x))
pw <- sample(1:4, n, replace = TRUE)
trials <- sample(c(1, 3, 8, 20), n, replace = TRUE)
succ <- rbinom(n, trials, plogis(0.5 - 0.8 * x))
ctl <- glm.control(epsilon = 1e-15, maxit = 100)
fits <- list(
  logit = glm(ybin ~ x, family = binomial(), control = ctl),
  poisson = glm(ycount ~ x, family = poisson(), weights = pw, control = ctl),
  trials = glm(cbind(succ, trials - succ) ~ x, family = binomial(), control = ctl))
num <- function(v) sprintf("%.17g", v)
data <- data.frame(x = num(x), ybin = num(ybin), ycount = num(ycount), pw = num(pw),
                   succ = num(succ), trials = num(trials))
fitRows <- list()
for (m in names(fits)) {
  f <- fits[[m]]
  fam <- f$family
  eta <- f$linear.predictors
  mu <- fam$linkinv(eta)
  y <- f$y
  z <- eta + (y - mu) / fam$mu.eta(eta)
  w <- f$prior.weights * fam$mu.eta(eta)^2 / fam$variance(mu)
  data[[paste0("eta_", m)]] <- num(eta)
  data[[paste0("z_", m)]] <- num(z)
  data[[paste0("w_", m)]] <- num(w)
  fitRows[[m]] <- data.frame(model = m, intercept = num(coef(f)[1]), slope = num(coef(f)[2]),
    deviance = num(f$deviance), null.deviance = num(f$null.deviance), iterations = f$iter)
}
writeCsv <- function(frame, path) {
  con <- file(path, "w")
  writeLines(paste("#", R.version.string), con)
  write.csv(frame, con, row.names = FALSE, quote = FALSE)
  close(con)
}
writeCsv(data, "irls_glm_data.csv")
writeCsv(do.call(rbind, fitRows), "irls_glm_fit.csv")
