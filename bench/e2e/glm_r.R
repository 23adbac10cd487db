# R side of the regression benchmark: read.csv, then lm(y ~ x1 + ... + x10 + f1 + f2) or
# glm(b ~ ..., family = binomial()), written as term,estimate (the ten numeric slopes, whose
# values do not depend on the factor coding) followed by a "deviance" row (residual sum of
# squares for lm, residual deviance for glm).
# Usage: Rscript glm_r.R lm|glm DATA.csv OUT.csv
args <- commandArgs(trailingOnly = TRUE)
kind <- args[1]
d <- read.csv(args[2], stringsAsFactors = TRUE)
predictors <- c(paste0("x", 1:10), "f1", "f2")
if (kind == "lm") {
  fit <- lm(reformulate(predictors, response = "y"), data = d)
} else {
  fit <- glm(reformulate(predictors, response = "b"), family = binomial(), data = d)
}
est <- coef(fit)[paste0("x", 1:10)]
out <- file(args[3], "w")
writeLines("term,estimate", out)
for (name in names(est)) writeLines(sprintf("%s,%.15g", name, est[[name]]), out)
writeLines(sprintf("deviance,%.15g", deviance(fit)), out)
close(out)
