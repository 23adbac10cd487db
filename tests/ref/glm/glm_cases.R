# Writes the reference tables of the glm fit driver (QMXProcIGLMTest):
#   glm_cases_data.csv  30 rows: covariate x, 3-level factor g, prior weights w, responses
#                       ybin (0/1), prop with trials, count, ypos (positive), y (real); xh, yh:
#                       a Gamma identity fit whose first steps leave the domain (R halves them)
#   glm_cases.csv       per fit of glm_cases_list.csv (formula, weights, family, link,
#                       variance, maxit), R's iterations, converged, deviance, null deviance, AIC,
#                       dispersion (summary.glm), residual and null df, and glm.fit's
#                       warnings in order (without "glm.fit: ", separated by "|"; not the
#                       "NaNs produced" of R's arithmetic)
#   glm_cases_coef.csv  per fit and coefficient (every factor level under contr.sum; the level
#                       contr.sum leaves out is minus the sum of the others): estimate and
#                       standard error scaled by the dispersion
# Every fit uses glm.control()'s defaults (epsilon 1e-8) unless maxit is given.
# Run: Rscript glm_cases.R   (from this folder)
options(contrasts = c("contr.sum", "contr.poly"))
set.seed(59)
n <- 30
xh <- round(runif(n, 0, 4), 2)
yh <- round(rgamma(n, shape = 3, rate = 3 / (0.3 + 1.2 * xh)), 3)
set.seed(20261206)
x <- round(runif(n, -1.5, 1.5), 3)
g <- factor(sample(c("a", "b", "c"), n, replace = TRUE))
w <- sample(c(0.5, 1, 2, 3), n, replace = TRUE)
ge <- c(a = 0, b = 0.4, c = -0.3)[as.character(g)]
ybin <- rbinom(n, 1, plogis(0.2 + 0.9 * x + ge))
trials <- sample(c(1, 4, 10), n, replace = TRUE)
prop <- rbinom(n, trials, plogis(-0.3 + 0.7 * x)) / trials
count <- rpois(n, exp(0.8 + 0.5 * x + ge))
ypos <- round(rgamma(n, shape = 4, rate = 4 / exp(1 + 0.3 * x + ge)), 4)
y <- round(2 + 1.5 * x + ge + rnorm(n), 4)
d <- data.frame(x, g, w, ybin, prop, trials, count, ypos, y, xh, yh)

cases <- read.csv("glm_cases_list.csv", comment.char = "#", stringsAsFactors = FALSE,
                  na.strings = "")

familyOf <- function(c) {
  switch(c$family,
         binomial = binomial(link = c$link), poisson = poisson(link = c$link),
         gamma = Gamma(link = c$link), inverse.gaussian = inverse.gaussian(link = c$link),
         gaussian = gaussian(link = c$link),
         quasi = do.call(quasi, list(link = c$link, variance = c$variance)))
}

# Every level's effect of the contr.sum coefficients, with standard errors from V.
fullEffects <- function(fit, V) {
  b <- coef(fit)
  assign <- attr(model.matrix(fit), "assign")
  labels <- attr(terms(fit), "term.labels")
  out <- NULL
  add <- function(name, M, cols) out <<- rbind(out, data.frame(name = name,
    estimate = drop(M %*% b[cols]), se = sqrt(diag(M %*% V[cols, cols, drop = FALSE] %*% t(M)))))
  if ("(Intercept)" %in% names(b)) add("(Intercept)", matrix(1, 1, 1), "(Intercept)")
  for (t in seq_along(labels)) {
    v <- labels[t]
    cols <- which(assign == t)
    if (is.factor(d[[v]])) add(paste0(v, "(", levels(d[[v]]), ")"), contr.sum(nlevels(d[[v]])), cols)
    else add(v, matrix(1, 1, 1), cols)
  }
  out
}

num <- function(v) sprintf("%.17g", v)
rows <- list(); coefs <- list()
for (i in seq_len(nrow(cases))) {
  c <- cases[i, ]
  ctl <- if (is.na(c$maxit)) glm.control() else glm.control(maxit = c$maxit)
  warnings <- character(0)
  fit <- withCallingHandlers(
    glm(as.formula(c$formula), family = familyOf(c), data = d, control = ctl,
        weights = if (is.na(c$weights)) NULL else d[[c$weights]]),
    warning = function(w) {
      warnings <<- c(warnings, conditionMessage(w)); invokeRestart("muffleWarning")
    })
  if (c$case == "gamma_halving") stopifnot(any(grepl("step size truncated", warnings)))
  if (c$case == "not_converged") stopifnot(!fit$converged)
  s <- summary(fit)
  e <- fullEffects(fit, s$cov.scaled)
  coefs[[i]] <- data.frame(case = c$case, name = e$name, estimate = num(e$estimate), se = num(e$se))
  rows[[i]] <- data.frame(c, iterations = fit$iter, converged = as.integer(fit$converged),
                          deviance = num(fit$deviance), null.deviance = num(fit$null.deviance),
                          aic = num(fit$aic), dispersion = num(s$dispersion),
                          df.residual = fit$df.residual, df.null = fit$df.null,
                          warnings = paste(sub("^glm.fit: ", "", warnings[warnings != "NaNs produced"]),
                                           collapse = "|"))
}

writeRef <- function(frame, file) {
  con <- file(file, "w")
  writeLines(paste("#", R.version.string), con)
  write.csv(frame, con, row.names = FALSE, quote = FALSE, na = "")
  close(con)
}
data <- d
for (v in c("x", "w", "prop", "trials", "count", "ypos", "y", "xh", "yh")) data[[v]] <- num(d[[v]])
writeRef(data, "glm_cases_data.csv")
writeRef(do.call(rbind, rows), "glm_cases.csv")
writeRef(do.call(rbind, coefs), "glm_cases_coef.csv")
