# Writes the references of the offset and glm anova fits (FitCommandTest, OffsetAndAnovaMatchR):
#   glm_offset_data.csv   60 simulated rows (counts y with exposure t, a gaussian z, binomial
#                         counts s of 10, a 0/1 am, a Gamma gy, a factor g); row 5 misses t,
#                         row 9 misses x: R's na.omit drops both
#   glm_offset_cases.csv  per case: the qmx fit arguments (data file and -o added by the test)
#   glm_offset_ref.csv    per case: R's values under the names of qmx's JSON summary
#                         (coefficients.<term>.<key>, anova.<term>.<key>, deviance, ...)
#   glm_offset_anova_binomial.txt, glm_offset_anova_gamma.txt  R's printed anova tables of
#                         binomial_counts_offset and gamma_anova
#   glm_offset_new.csv, glm_offset_score.csv  new rows (one misses t) and R's predict() of the
#                         poisson_offset fit on them, link and response scale
# R >= 4.4 prints anova.glm's test by default: here test = "Chisq" for binomial and poisson,
# "F" otherwise. Run: Rscript glm_offset.R   (from this folder)
options(digits = 17, useFancyQuotes = FALSE)
set.seed(11)
n <- 60
d <- data.frame(x = round(rnorm(n), 3), g = factor(sample(c("a", "b", "c"), n, TRUE)),
                t = round(runif(n, 0.5, 5), 3))
d$y <- rpois(n, d$t * exp(0.3 + 0.5 * d$x + c(a = 0, b = 0.4, c = -0.3)[as.character(d$g)]))
d$z <- round(2 + d$x + rnorm(n), 3)
d$s <- rbinom(n, 10, plogis(0.2 + 0.6 * d$x))
d$f <- 10 - d$s
d$am <- rbinom(n, 1, plogis(0.5 * d$x))
d$gy <- round(rgamma(n, shape = 3, rate = 3 / exp(0.5 + 0.3 * d$x)), 4)
d$t[5] <- NA
d$x[9] <- NA
write.csv(d, "glm_offset_data.csv", row.names = FALSE, quote = FALSE, na = "")

cases <- list(
  poisson_offset = list("glm --formula 'y ~ x + g + offset(log(t))' --family poisson --anova",
    glm(y ~ x + g + offset(log(t)), family = poisson, data = d), "Chisq"),
  poisson_offsets_no_intercept = list(
    "glm --formula 'y ~ x + offset(log(t)) + offset(x/10) - 1' --family poisson --anova",
    glm(y ~ x + offset(log(t)) + offset(x/10) - 1, family = poisson, data = d), "Chisq"),
  lm_offset = list("lm --formula 'z ~ x + g' --offset t --anova",
    lm(z ~ x + g, offset = t, data = d), NA),
  gaussian_offset = list("glm --formula 'z ~ x + g' --offset t --family gaussian --anova",
    glm(z ~ x + g, offset = t, family = gaussian, data = d), "F"),
  binomial_counts_offset = list(
    "glm --formula 'cbind(s, f) ~ x + g + offset(x/2)' --family binomial --anova",
    glm(cbind(s, f) ~ x + g + offset(x/2), family = binomial, data = d), "Chisq"),
  binomial_anova = list("glm --formula 'am ~ x * g' --family binomial --anova",
    glm(am ~ x * g, family = binomial, data = d), "Chisq"),
  gamma_anova = list("glm --formula 'gy ~ x + g' --family gamma --anova",
    glm(gy ~ x + g, family = Gamma, data = d), "F"))

num <- function(v) ifelse(is.na(v), "NA", format(v, digits = 17))
ref <- NULL
add <- function(case, what, value) ref <<- rbind(ref, data.frame(case, what, value = num(value)))
for (name in names(cases)) {
  fit <- cases[[name]][[2]]
  test <- cases[[name]][[3]]
  cf <- summary(fit)$coefficients
  for (term in rownames(cf)) {
    add(name, paste0("coefficients.", term, ".estimate"), cf[term, 1])
    add(name, paste0("coefficients.", term, ".std_error"), cf[term, 2])
  }
  add(name, "df_residual", fit$df.residual)
  add(name, "aic", AIC(fit))
  if (is.na(test)) {  # lm: the residual sum of squares and anova.lm
    add(name, "deviance", deviance(fit))
    # summary.lm's R-squared measures the fit about the offset (the fitted values less the
    # offset) since R 4.3.0 (PR#18008); R 4.2.2's is about the fitted values themselves.
    s <- summary(fit)
    if (getRversion() < "4.3.0") {
      f <- fitted(fit) - model.offset(model.frame(fit))
      mss <- sum((f - mean(f))^2)
      s$r.squared <- mss / (mss + deviance(fit))
      s$adj.r.squared <- 1 - (1 - s$r.squared) * ((nobs(fit) - 1) / fit$df.residual)
    }
    add(name, "r_squared", s$r.squared)
    add(name, "adj_r_squared", s$adj.r.squared)
    a <- anova(fit)
    for (term in rownames(a)) {
      add(name, paste0("anova.", term, ".sum_sq"), a[term, "Sum Sq"])
      if (term != "Residuals") add(name, paste0("anova.", term, ".p_value"), a[term, "Pr(>F)"])
    }
    next
  }
  add(name, "deviance", fit$deviance)
  add(name, "null_deviance", fit$null.deviance)
  add(name, "df_null", fit$df.null)
  a <- anova(fit, test = test)
  for (term in rownames(a)) {
    add(name, paste0("anova.", term, ".df_residual"), a[term, "Resid. Df"])
    add(name, paste0("anova.", term, ".residual_deviance"), a[term, "Resid. Dev"])
    if (term == "NULL") next
    add(name, paste0("anova.", term, ".deviance"), a[term, "Deviance"])
    if (test == "F") add(name, paste0("anova.", term, ".statistic"), a[term, "F"])
    add(name, paste0("anova.", term, ".p_value"), a[term, ncol(a)])
  }
}
hdr <- paste("#", R.version.string)
con <- file("glm_offset_ref.csv", "w")
writeLines(hdr, con)
write.csv(ref, con, row.names = FALSE, quote = FALSE)
close(con)
con <- file("glm_offset_cases.csv", "w")
writeLines(hdr, con)
write.csv(data.frame(case = names(cases), arguments = sapply(cases, `[[`, 1)), con,
          row.names = FALSE, quote = FALSE)
close(con)

new <- data.frame(x = c(-1, 0.5, 2, 0), g = factor(c("b", "a", "c", "b"), levels = c("a", "b", "c")),
                  t = c(2, 0.7, NA, 4))
write.csv(new, "glm_offset_new.csv", row.names = FALSE, quote = FALSE, na = "")
fit <- cases$poisson_offset[[2]]
score <- data.frame(link = num(predict(fit, newdata = new)),
                    fitted = num(predict(fit, newdata = new, type = "response")))
con <- file("glm_offset_score.csv", "w")
writeLines(hdr, con)
write.csv(score, con, row.names = FALSE, quote = FALSE)
close(con)

options(digits = 7)
for (what in list(c("binomial_counts_offset", "binomial"), c("gamma_anova", "gamma"))) {
  fit <- cases[[what[1]]][[2]]
  out <- capture.output(print(anova(fit, test = cases[[what[1]]][[3]])))
  writeLines(c(hdr, out), paste0("glm_offset_anova_", what[2], ".txt"))
}
