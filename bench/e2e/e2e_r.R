# R side of the end-to-end benchmark (e2e_bench.sh): one operation on the file of
# make_e2e_csv.py, read with read.csv.
#   describe: summary() of every column and sd() of the numeric ones.
#   lm: lm(y ~ x1 + ... + x10 + g1 + g2); glm_binomial: glm(yb ~ ..., binomial());
#   glm_poisson: glm(count ~ ..., poisson()): OUT gets term,estimate (the ten numeric slopes)
#   and a "deviance" row.
#   save_glm MODEL.rds: the binomial glm, stripped of its data, for the score operation.
#   score MODEL.rds: predict() on the response and link scales, written with write.csv.
# Usage: Rscript e2e_r.R OPERATION DATA.csv OUT [MODEL.rds]
args <- commandArgs(trailingOnly = TRUE)
op <- args[1]
d <- read.csv(args[2], stringsAsFactors = TRUE)
rhs <- paste(c(paste0("x", 1:10), "g1", "g2"), collapse = " + ")
slopes <- function(fit, out) {
  est <- coef(fit)[paste0("x", 1:10)]
  lines <- c("term,estimate", sprintf("%s,%.15g", names(est), est),
             sprintf("deviance,%.15g", deviance(fit)))
  writeLines(lines, out)
}
if (op == "describe") {
  s <- summary(d)
  sds <- sapply(d[sapply(d, is.numeric)], sd)
  capture.output(print(s), print(sds), file = args[3])
} else if (op == "lm") {
  slopes(lm(as.formula(paste("y ~", rhs)), data = d), args[3])
} else if (op == "glm_binomial" || op == "save_glm") {
  fit <- glm(as.formula(paste("yb ~", rhs)), family = binomial(), data = d)
  if (op == "glm_binomial") {
    slopes(fit, args[3])
  } else {
    # What predict() needs: terms, levels, contrasts, coefficients, rank and pivot.
    for (part in c("model", "data", "y", "residuals", "fitted.values", "effects", "weights",
                   "prior.weights", "linear.predictors"))
      fit[[part]] <- NULL
    fit$qr$qr <- NULL
    saveRDS(fit, args[4])
  }
} else if (op == "glm_poisson") {
  slopes(glm(as.formula(paste("count ~", rhs)), family = poisson(), data = d), args[3])
} else if (op == "score") {
  fit <- readRDS(args[4])
  scores <- data.frame(fitted = predict(fit, newdata = d, type = "response"),
                       link = predict(fit, newdata = d, type = "link"))
  write.csv(scores, args[3], row.names = FALSE)
} else {
  stop("unknown operation ", op)
}
