# Reference fits of qmx fit glm (tests/tools/FitCommandTest.cpp). Run from the repository root:
#   Rscript tests/ref/tools/fit_glm_cases.R
# Writes the input files fit_glm_cases_data.csv and fit_glm_cases_prop.csv, then R's glm
# results: fit_glm_cases_coef.csv (summary()$coefficients) and fit_glm_cases_dev.csv (null
# and residual deviance with their degrees of freedom).
m <- read.csv("examples/mtcars.csv")
# am as a two-level factor (levels auto, manual); wt missing in row 3 and hp in row 10, so the
# fits use 30 of the 32 rows; w a positive case weight, w0 a case weight with 8 zeros (rows
# that R leaves out of the fit and of its degrees of freedom, but not out of poly()).
d <- data.frame(am_f = factor(ifelse(m$am == 1, "manual", "auto")), wt = m$wt, hp = m$hp,
                carb = m$carb, w = rep(c(1, 2, 0.5, 3), length.out = nrow(m)),
                w0 = rep(c(1, 0, 2, 1), length.out = nrow(m)))
d$wt[3] <- NA
d$hp[10] <- NA
write.csv(d, "tests/ref/tools/fit_glm_cases_data.csv", row.names = FALSE, quote = FALSE)
# Grouped binomial data: the share of successes prop out of n trials at dose x.
p <- data.frame(x = c(0, 1, 2, 3, 4, 5, 0.5, 1.5, 2.5, 3.5),
                n = c(20, 18, 25, 20, 16, 30, 12, 22, 19, 24),
                k = c(1, 3, 7, 10, 12, 27, 2, 5, 8, 17))
p$prop <- p$k / p$n
write.csv(p[, c("x", "n", "prop")], "tests/ref/tools/fit_glm_cases_prop.csv",
          row.names = FALSE, quote = FALSE)
fits <- list(
  factor = glm(am_f ~ wt + hp, family = binomial, data = d, control = list(epsilon = 1e-14, maxit = 100)),
  poisson_weights = glm(carb ~ wt, family = poisson, data = d, weights = w,
                        control = list(epsilon = 1e-14, maxit = 100)),
  proportion = glm(prop ~ x, family = binomial, data = p, weights = n,
                   control = list(epsilon = 1e-14, maxit = 100)),
  zero_weights = glm(am_f ~ wt, family = binomial, data = d, weights = w0,
                     control = list(epsilon = 1e-14, maxit = 100)),
  no_intercept = glm(carb ~ wt - 1, family = poisson, data = d,
                     control = list(epsilon = 1e-14, maxit = 100)),
  # poly()'s coefficients come from every row where w is known: the model frame keeps the
  # zero-weight rows and the row missing hp.
  poly_zero_weights = glm(carb ~ poly(w, 2) + hp, family = poisson, data = d, weights = w0,
                          control = list(epsilon = 1e-14, maxit = 100)))
header <- paste0("# ", R.version.string, "; glm() of tests/ref/tools/fit_glm_cases.R")
coef <- do.call(rbind, lapply(names(fits), function(name) {
  s <- summary(fits[[name]])$coefficients
  data.frame(case = name, term = rownames(s), estimate = s[, 1], std.error = s[, 2],
             statistic = s[, 3], p.value = s[, 4])
}))
dev <- do.call(rbind, lapply(names(fits), function(name) {
  f <- fits[[name]]
  data.frame(case = name, null.deviance = f$null.deviance, df.null = f$df.null,
             deviance = f$deviance, df.residual = f$df.residual)
}))
for (out in list(list(coef, "coef"), list(dev, "dev"))) {
  con <- file(paste0("tests/ref/tools/fit_glm_cases_", out[[2]], ".csv"), "w")
  writeLines(header, con)
  table <- as.data.frame(lapply(format(out[[1]], digits = 17), trimws))
  write.csv(table, con, row.names = FALSE, quote = if (out[[2]] == "coef") 2 else FALSE)  # terms hold commas
  close(con)
}
