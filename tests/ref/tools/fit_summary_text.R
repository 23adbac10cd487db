# R's printed summaries that qmx fit's text summary reproduces (tests/tools/FitCommandTest.cpp):
# the lines from "Call:" (or "Coefficients:") through the F-statistic line of summary.lm, and
# through the residual deviance line of summary.glm (one fitted to convergence, epsilon
# 1e-14). Run from the repository root:  LANG=C.UTF-8 Rscript tests/ref/tools/fit_summary_text.R
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
# Calls R deparses on several lines (width.cutoff 60), I() powers labelled as R labels them.
writeLines(block(lm(mpg ~ cyl + disp + hp + drat + wt + qsec + vs + am + gear + carb + I(wt^2) +
                      I(hp^3), data = mtcars), "^F-statistic", "^Call:"),
           "tests/ref/tools/fit_summary_lm_long.txt")
writeLines(block(glm(carb ~ cyl + disp + hp + drat + wt + qsec + vs + am + gear + mpg + I(wt^2) +
                       I(wt^2):hp, family = poisson, data = mtcars), "^Residual deviance",
                 "^Call:"), "tests/ref/tools/fit_summary_poisson_long.txt")
writeLines(block(glm(mpg ~ cyl + disp + hp + drat + wt + qsec + vs + am + gear + I(wt^3),
                     family = Gamma(link = "log"), data = mtcars, weights = carb),
                 "^Residual deviance",
                 "^Call:"), "tests/ref/tools/fit_summary_gamma_long.txt")
# Names and levels of two terminal columns (日本) or of combining letters are padded by their
# display width; run in a UTF-8 locale (LANG=C.UTF-8).
utf8_levels <- read.csv("tests/tools/data/utf8_levels.csv", check.names = FALSE,
                        encoding = "UTF-8")
fit <- lm(y ~ größe + 日本 + land, data = utf8_levels)
writeLines(block(fit, "^F-statistic", "^Call:"), "tests/ref/tools/fit_summary_utf8.txt")
writeLines(c(paste("#", R.version.string), capture.output(print(confint.default(fit)))),
           "tests/ref/tools/fit_summary_utf8_confint.txt")
writeLines(c(paste("#", R.version.string), capture.output(print(anova(fit)))),
           "tests/ref/tools/fit_summary_utf8_anova.txt")
# anova's rows of I() powers, named as the coefficients are.
writeLines(c(paste("#", R.version.string),
             capture.output(print(anova(lm(mpg ~ wt + I(wt^2) + I(wt^2):hp + I(wt^3),
                                           data = mtcars))))),
           "tests/ref/tools/fit_summary_power_anova.txt")
