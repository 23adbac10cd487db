# Writes the reference tables of the formula cases (tests/glm/FormulaCasesTest.cpp):
#   formula_cases_data.csv  the data: positive x and b, a and z of both signs, a count k,
#                           a 0/1 response yb, successes s and failures f, a missing value
#   formula_cases.csv       per case: the fitting proc, formula (';' for ','), family (R's
#                           names), whether the C package scores it; glm:
#                           summary()'s dispersion and the AIC (NA for the quasi families)
#   formula_cases_coef.csv  per case and coefficient (R's names, ';' for ','): R's estimate
#   formula_cases_pred.csv  per case and data row: predict(fit, type = "response")
#   formula_cases_new.csv   new rows the fits score (the C package as the scoring proc): a
#                           level of k and of yb never fitted, x beyond its fitted range,
#                           missing x, b and z
# lm and glm with glm.control() defaults. Run: Rscript formula_cases.R   (from this folder)
options(digits = 17)
set.seed(20261206)
n <- 48
d <- data.frame(x = round(runif(n, 0.2, 4), 3), a = round(rnorm(n), 3),
                b = round(runif(n, 1, 3), 3), z = round(rnorm(n, sd = 0.5), 3))
d$y <- round(1 + 0.8 * log(d$x) + d$a * d$b - 0.5 * sqrt(d$b) + rnorm(n, sd = 0.3), 3)
d$k <- rpois(n, exp(0.2 + 0.3 * log(d$x) + 0.2 * d$z))
d$yb <- rbinom(n, 1, plogis(-0.2 + 0.7 * d$a * d$b / 3))
d$s <- rbinom(n, 8, plogis(0.3 * d$a + 0.2 * log(d$x)))
d$f <- 8 - d$s
d$a[7] <- NA  # a row every case leaves out

cases <- data.frame(
  case = c("lm_log_product", "lm_exp_quotient", "lm_nested_interaction",
           "poisson_log_sqrt", "binomial_product", "binomial_counts", "quasipoisson_log",
           "quasibinomial_counts", "lm_factor_poly", "binomial_poly", "lm_raw_offset",
           "lm_factor_offset_column", "poisson_factor_poly_offset", "poisson_raw_offset_column",
           "binomial_factor_raw", "binomial_poly_offset", "lm_poly_by_factor",
           "poisson_factor_by_poly"),
  proc = c("QMXProcILM", "QMXProcILM", "QMXProcILM", rep("QMXProcIGLM", 5), "QMXProcILM",
           "QMXProcIGLM", "QMXProcILM", "QMXProcILM", rep("QMXProcIGLM", 4), "QMXProcILM",
           "QMXProcIGLM"),
  formula = c("y ~ log(x) + I(a * b) + sqrt(b)",
              "y ~ exp(z) + I(a/b) + I(x - 1) + I((a + b)^2) + I(-z^3)",
              "y ~ log(x):a + I(2 * a - b/x) + exp(-z) + sqrt(x + b)",
              "k ~ log(x) + sqrt(b) + I(z * x)",
              "yb ~ I(a * b) + log(x) + exp(z/2)",
              "cbind(s, f) ~ log(x) + a",
              "k ~ log(x) + z",
              "cbind(s, f) ~ I(a * b) + x",
              "y ~ factor(k) + poly(x, 2) + a",
              "yb ~ poly(z, 3) + a",
              "y ~ poly(x, 2, raw = TRUE) + a + offset(log(b))",
              "y ~ factor(k) + z + offset(b)",
              "k ~ factor(yb) + poly(x, 2) + offset(log(b))",
              "k ~ poly(z, 3, raw = TRUE) + offset(x)",
              "yb ~ factor(k) + poly(x, 2, raw = TRUE)",
              "yb ~ poly(z, 2) + offset(log(x))",
              "y ~ poly(x, 2) * factor(yb) + a",
              "k ~ factor(yb) * poly(z, 2)"),
  family = c("", "", "", "poisson", "binomial", "binomial", "quasipoisson", "quasibinomial",
             "", "binomial", "", "", "poisson", "poisson", "binomial", "binomial", "",
             "poisson"),
  # the C scoring package scores the case too
  package = rep("yes", 18),
  stringsAsFactors = FALSE)
# glm cases: summary()'s dispersion (estimated by the quasi families) and the AIC (NA for them)
cases$dispersion <- NA
cases$aic <- NA

con <- file("formula_cases_data.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(d, con, row.names = FALSE, quote = FALSE, na = "NA")
close(con)
coefRows <- list(); predRows <- list()
for (i in seq_len(nrow(cases))) {
  f <- as.formula(cases$formula[i])
  fit <- if (cases$family[i] == "") lm(f, d) else glm(f, get(cases$family[i])(), d)
  if (cases$family[i] != "") {
    cases$dispersion[i] <- sprintf("%.17g", summary(fit)$dispersion)
    cases$aic[i] <- ifelse(is.na(fit$aic), "NA", sprintf("%.17g", fit$aic))
  }
  b <- coef(fit)
  coefRows[[i]] <- data.frame(case = cases$case[i], name = gsub(",", ";", names(b)), estimate = sprintf("%.17g", unname(b)))
  p <- predict(fit, newdata = d, type = "response")
  predRows[[i]] <- data.frame(case = cases$case[i], row = seq_len(n), fitted = ifelse(is.na(p), "NA", sprintf("%.17g", unname(p))))
}
# New rows: 1 as fitted, 2 k = 7, 3 yb = 2, 4 x = 5.5, 5 x missing, 6 b missing, 7 z missing.
new <- d[c(1, 2, 3, 4, 5, 6, 8), ]
new$k[2] <- 7
new$yb[3] <- 2
new$x[4] <- 5.5
new$x[5] <- NA
new$b[6] <- NA
new$z[7] <- NA
con <- file("formula_cases_new.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(new, con, row.names = FALSE, quote = FALSE, na = "NA")
close(con)
con <- file("formula_cases.csv", "w")
writeLines(paste("#", R.version.string), con)
written <- cases
written$formula <- gsub(",", ";", written$formula)  # the tables hold no quoted commas
write.csv(written, con, row.names = FALSE, quote = FALSE, na = "")
close(con)
con <- file("formula_cases_coef.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(do.call(rbind, coefRows), con, row.names = FALSE, quote = FALSE)
close(con)
con <- file("formula_cases_pred.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(do.call(rbind, predRows), con, row.names = FALSE, quote = FALSE)
close(con)
