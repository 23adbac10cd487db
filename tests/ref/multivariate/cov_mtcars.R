# Writes cov_mtcars.csv: cov() and cor() of R's mtcars (examples/mtcars.csv holds the same
# data) between the targets mpg, hp and the columns wt, qsec, disp, in the layout of
# `qmx cov --format csv`.
# Run from this folder: Rscript cov_mtcars.R
targets <- c("mpg", "hp")
with <- c("wt", "qsec", "disp")
cv <- cov(mtcars[, targets], mtcars[, with], use = "complete.obs")
cr <- cor(mtcars[, targets], mtcars[, with], use = "complete.obs")
out <- file("cov_mtcars.csv", "w")
writeLines(paste0("# ", R.version.string, "; cov()/cor() with use=\"complete.obs\""), out)
writeLines("target,with,cov,cor,n", out)
for (i in seq_along(targets)) for (j in seq_along(with)) {
  writeLines(sprintf("%s,%s,%.17g,%.17g,%d", targets[i], with[j], cv[i, j], cr[i, j],
                     nrow(mtcars)), out)
}
close(out)
