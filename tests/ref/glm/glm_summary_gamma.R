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
field <- function(name, value) sprintf("  \"%s\": %s", name, value)
cf <- s$coefficients
coefs <- sapply(seq_len(nrow(cf)), function(i) paste0(
  "    {\n",
  "      \"term\": \"", rownames(cf)[i], "\",\n",
  "      \"estimate\": ", num(cf[i, 1]), ",\n",
  "      \"std_error\": ", num(cf[i, 2]), ",\n",
  "      \"statistic\": ", num(cf[i, 3]), ",\n",
  "      \"p_value\": ", num(cf[i, 4]), ",\n",
  "      \"aliased\": false\n",
  "    }"))
json <- c("{", "  \"coefficients\": [", paste(coefs, collapse = ",\n"), "  ],",
          paste(c(field("df_residual", fit$df.residual), field("deviance", num(fit$deviance)),
                  field("df_null", fit$df.null), field("null_deviance", num(fit$null.deviance)),
                  field("aic", num(fit$aic)), field("dispersion", num(s$dispersion)),
                  field("iterations", fit$iter), field("converged", tolower(fit$converged)),
                  field("n_used", nrow(mtcars)), field("n_dropped", 0)), collapse = ",\n"),
          "}")
writeLines(json, "glm_summary_gamma.json")
