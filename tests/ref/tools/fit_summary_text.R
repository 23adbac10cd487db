# R's printed summaries that qmx fit's text summary reproduces (tests/tools/FitCommandTest.cpp):
# the lines from "Call:" (or "Coefficients:") through the F-statistic line of summary.lm, and
# through the residual deviance line of summary.glm (one fitted to convergence, epsilon
# 1e-14). Run from the repository root:  Rscript tests/ref/tools/fit_summary_text.R
options(useFancyQuotes = FALSE)
d <- read.csv("examples/mtcars.csv")
mtcars <- d
block <- function(fit, last, from = "^Coefficients:") {
  text <- capture.output(print(summary(fit)))
  first <- grep(from, text)
  stop <- grep(last, text)
  c(paste("#", R.version.string), text[first:stop])
}
writeLines(block(lm(mpg ~ wt + qsec + cyl + disp, data = mtcars), "^F-statistic", "^Call:"),
           "tests/ref/tools/fit_summary_lm.txt")
writeLines(block(glm(am ~ wt + hp, family = binomial, data = d,
                     control = list(epsilon = 1e-14, maxit = 100)), "^Residual deviance"),
           "tests/ref/tools/fit_summary_glm.txt")
writeLines(block(glm(carb ~ wt + hp, family = poisson, data = mtcars), "^Residual deviance",
                 "^Call:"), "tests/ref/tools/fit_summary_poisson.txt")
