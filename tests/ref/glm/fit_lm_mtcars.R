# Coefficient table of lm(mpg ~ wt + hp) on examples/mtcars.csv, in the layout of
# qmx fit lm --summary-format csv. Run from the repository root:
#   Rscript tests/ref/glm/fit_lm_mtcars.R
d <- read.csv("examples/mtcars.csv")
s <- summary(lm(mpg ~ wt + hp, data = d))$coefficients
out <- data.frame(term = rownames(s), estimate = s[, 1], std.error = s[, 2],
                  statistic = s[, 3], p.value = s[, 4])
con <- file("tests/ref/glm/fit_lm_mtcars.csv", "w")
writeLines(paste0("# ", R.version.string, "; lm(mpg ~ wt + hp, examples/mtcars.csv)"), con)
write.csv(format(out, digits = 17), con, row.names = FALSE, quote = FALSE)
close(con)
