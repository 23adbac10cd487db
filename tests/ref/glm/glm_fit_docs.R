# Writes fit_gaussian.csv and fit_binomial.csv: the results of two fits on mtcars as a fitted
# GLM model holds them (coefficients with every level of a factor kept under sum-to-zero
# restrictions, standard errors, the analysis-of-deviance table, Wald statistics per term and
# coefficient correlations), and the statistics the model document derives from them:
# t values and two-sided Student t probabilities, scaled deviances, F statistics with their
# upper-tail probabilities, R2, and per-term F (Gaussian) or chi-square (binomial) tests.
# Run: Rscript glm_fit_docs.R   (from this folder)

out <- function(file, rows) {
  con <- file(file, "w")
  writeLines(paste("#", R.version.string), con)
  writeLines("what,name,value", con)
  for (r in rows) writeLines(sprintf("%s,%s,%.17g", r[[1]], r[[2]], as.numeric(r[[3]])), con)
  close(con)
}

# --- Gaussian: mpg ~ wt + wt^2 + wt2 (aliased: 2 wt) + am + wt:am, am with levels auto/manual
d <- mtcars
d$am <- factor(ifelse(d$am == 1, "manual", "auto"), levels = c("auto", "manual"))
d$wt2 <- 2 * d$wt
fit <- lm(mpg ~ wt + I(wt^2) + wt2 + am + wt:am, data = d, contrasts = list(am = contr.sum))
s <- summary(fit)
b <- coef(fit)
se <- s$coefficients[, 2]
sigma2 <- s$sigma^2
dfE <- fit$df.residual
# Coefficients in the fit's order; am(manual) = -am(auto) under the sum-to-zero restriction.
names.fit <- c("(Intercept)", "wt", "wt:wt", "wt2", "am(auto)", "am(manual)", "wt:am(auto)",
               "wt:am(manual)")
beta <- c(b["(Intercept)"], b["wt"], b["I(wt^2)"], 0, b["am1"], -b["am1"], b["wt:am1"], -b["wt:am1"])
stderr <- c(se["(Intercept)"], se["wt"], se["I(wt^2)"], NaN, se["am1"], se["am1"], se["wt:am1"],
            se["wt:am1"])
rows <- list()
for (i in seq_along(names.fit)) {
  rows[[length(rows) + 1]] <- list("beta", names.fit[i], beta[i])
  rows[[length(rows) + 1]] <- list("se", names.fit[i], stderr[i])
  if (!is.nan(stderr[i])) {
    tval <- beta[i] / stderr[i]
    rows[[length(rows) + 1]] <- list("t", names.fit[i], tval)
    rows[[length(rows) + 1]] <- list("Pr", names.fit[i], 2 * pt(-abs(tval), dfE))
  }
}
a <- anova(fit)
ss <- a[["Sum Sq"]]; dfs <- a[["Df"]]
# anova rows: wt, I(wt^2), am, wt:am, Residuals (the aliased wt2 has no row: df 0, dev 0)
sources <- c("Regression", "wt", "wt^2", "wt2", "am", "wt:am", "Error", "Total")
devs <- c(sum(ss[1:4]), ss[1], ss[2], 0, ss[3], ss[4], ss[5], sum(ss))
df <- c(sum(dfs[1:4]), dfs[1], dfs[2], 0, dfs[3], dfs[4], dfs[5], sum(dfs))
for (i in seq_along(sources)) {
  rows[[length(rows) + 1]] <- list("dev", sources[i], devs[i])
  rows[[length(rows) + 1]] <- list("df", sources[i], df[i])
  if (df[i] > 0) {
    rows[[length(rows) + 1]] <- list("scaledDev", sources[i], devs[i] / df[i])
    if (!(sources[i] %in% c("Error", "Total"))) {
      f <- (devs[i] / df[i]) / sigma2
      rows[[length(rows) + 1]] <- list("stat", sources[i], f)
      rows[[length(rows) + 1]] <- list("devPr", sources[i], pf(f, df[i], dfE, lower.tail = FALSE))
    }
  }
}
rows[[length(rows) + 1]] <- list("R2", "", s$r.squared)
# Wald statistic of each term, unscaled: W = b' (X'X)^-1_T^-1 b = t^2 sigma2 for one coefficient.
terms <- c("wt", "wt^2", "am", "wt:am")
coefOf <- c("wt", "I(wt^2)", "am1", "wt:am1")
for (i in seq_along(terms)) {
  tval <- b[coefOf[i]] / se[coefOf[i]]
  w <- tval^2 * sigma2
  rows[[length(rows) + 1]] <- list("wald", terms[i], w)
  rows[[length(rows) + 1]] <- list("waldDf", terms[i], 1)
  rows[[length(rows) + 1]] <- list("effectStat", terms[i], tval^2)
  rows[[length(rows) + 1]] <- list("effectPr", terms[i], pf(tval^2, 1, dfE, lower.tail = FALSE))
}
cc <- cov2cor(vcov(fit))
rows[[length(rows) + 1]] <- list("corrThreshold", "", 0.5)
rows[[length(rows) + 1]] <- list("corr", "wt and wt:wt", cc["wt", "I(wt^2)"])
rows[[length(rows) + 1]] <- list("corr", "wt:wt and wt:am(auto)", cc["I(wt^2)", "wt:am1"])
out("fit_gaussian.csv", rows)

# --- Binomial: am ~ wt + hp (am 0/1, logit link)
d <- mtcars
fit <- glm(am ~ wt + hp, family = binomial, data = d, control = glm.control(epsilon = 1e-14))
s <- summary(fit)
b <- coef(fit); se <- s$coefficients[, 2]
dfE <- fit$df.residual
rows <- list()
for (n in names(b)) {
  rows[[length(rows) + 1]] <- list("beta", n, b[n])
  rows[[length(rows) + 1]] <- list("se", n, se[n])
  tval <- b[n] / se[n]
  rows[[length(rows) + 1]] <- list("t", n, tval)
  rows[[length(rows) + 1]] <- list("Pr", n, 2 * pnorm(-abs(tval)))  # summary.glm's z test
}
sources <- c("Regression", "Error", "Null")
devs <- c(fit$null.deviance - fit$deviance, fit$deviance, fit$null.deviance)
df <- c(fit$df.null - fit$df.residual, fit$df.residual, fit$df.null)
for (i in seq_along(sources)) {
  rows[[length(rows) + 1]] <- list("dev", sources[i], devs[i])
  rows[[length(rows) + 1]] <- list("df", sources[i], df[i])
  rows[[length(rows) + 1]] <- list("scaledDev", sources[i], devs[i] / df[i])
}
f <- (devs[1] / df[1]) / (devs[2] / df[2])
rows[[length(rows) + 1]] <- list("stat", "Regression", f)
rows[[length(rows) + 1]] <- list("devPr", "Regression", pf(f, df[1], df[2], lower.tail = FALSE))
rows[[length(rows) + 1]] <- list("R2", "", 1 - fit$deviance / fit$null.deviance)
# Wald chi-square of each term (dispersion 1): W = (b/se)^2 on 1 degree of freedom.
for (n in c("wt", "hp")) {
  w <- (b[n] / se[n])^2
  rows[[length(rows) + 1]] <- list("wald", n, w)
  rows[[length(rows) + 1]] <- list("waldDf", n, 1)
  rows[[length(rows) + 1]] <- list("effectPr", n, pchisq(w, 1, lower.tail = FALSE))
}
rows[[length(rows) + 1]] <- list("mean", "", mean(d$am))
rows[[length(rows) + 1]] <- list("iterations", "", fit$iter)
out("fit_binomial.csv", rows)
