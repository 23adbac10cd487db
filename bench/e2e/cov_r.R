# R side of the covariance benchmark: read.csv, then cov() and cor() of every column pair,
# written as target,with,cov,cor,n.
# Usage: Rscript cov_r.R DATA.csv OUT.csv
args <- commandArgs(trailingOnly = TRUE)
d <- read.csv(args[1])
cv <- cov(d)
cr <- cor(d)
names <- colnames(d)
out <- file(args[2], "w")
writeLines("target,with,cov,cor,n", out)
for (i in seq_along(names)) for (j in seq_along(names)) {
  writeLines(sprintf("%s,%s,%.15g,%.15g,%d", names[i], names[j], cv[i, j], cr[i, j], nrow(d)),
             out)
}
close(out)
