# R's printed summary of one Gamma fit, and the same figures in the layout of qmx's JSON summary
# (GLMSummaryTest): glm(mpg ~ wt + hp, family = Gamma) on mtcars with glm.control()'s defaults.
#   glm_summary_gamma.txt   the lines of print(summary(fit)) from "Coefficients:" through
#                           "Number of Fisher Scoring iterations"
#   glm_summary_gamma.json  coefficients (estimate, std_error, t, p), residual and null
#                           deviance with their df, aic, dispersion, iterations, convergence
#                           and the rows used (numbers as "%.15g")
# Run: Rscript glm_summary_gamma.R   (from this folder)
options(useFancyQuotes = FALSE)
fit <- glm(mpg ~ wt + hp, family = Gamma, data = mtcars)
s <- summary(fit)
text <- capture.output(print(s))
first <- grep("^Coefficients:", text)
last <- grep("^Number of Fisher Scoring iterations", text)
writeLines(c(paste("#", R.version.string), text[first:last]), "glm_summary_gamma.txt")
num <- function(v) sprintf("%.15g", v)
fields <- function(names, values, indent) paste0(indent, "\"", names, "\": ", values, collapse = ",\n")
cf <- s$coefficients
coefs <- sapply(seq_len(nrow(cf)), function(i) paste0("    {\n", fields(
  c("term", "estimate", "std_error", "statistic", "p_value", "aliased"),
  c(paste0("\"", rownames(cf)[i], "\""), num(cf[i, ]), "false"), "      "), "\n    }"))
writeLines(c("{", "  \"coefficients\": [", paste(coefs, collapse = ",\n"), "  ],", fields(
  c("df_residual", "deviance", "df_null", "null_deviance", "aic", "dispersion", "iterations",
    "converged", "n_used", "n_dropped"),
  c(fit$df.residual, num(fit$deviance), fit$df.null, num(fit$null.deviance), num(fit$aic),
    num(s$dispersion), fit$iter, tolower(fit$converged), nrow(mtcars), 0), "  "), "}"),
  "glm_summary_gamma.json")
