# Writes cov_random_data.csv (a fixed-seed data set with missing values) and
# cov_random.csv: cov() and cor() with use = "complete.obs" between the targets t1, t2 and
# the columns c1, c2, c3 over the rows complete in all five, with the means and row count.
# Run from this folder: Rscript cov_random.R
set.seed(20261205)
n <- 240
shared <- rnorm(n)
d <- data.frame(
  t1 = 3 + 2 * shared + rnorm(n),
  t2 = 1e6 + 0.5 * shared + rnorm(n, sd = 0.25),
  c1 = -4 + shared + rnorm(n, sd = 3),
  c2 = rexp(n),
  c3 = 100 * shared + rnorm(n, sd = 50)
)
for (col in names(d)) d[[col]][runif(n) < 0.06] <- NA
# Full precision (write.csv keeps only 15 digits), NA for missing.
text <- as.data.frame(lapply(d, function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))))
write.table(text, "cov_random_data.csv", sep = ",", quote = FALSE, row.names = FALSE)

targets <- c("t1", "t2")
with <- c("c1", "c2", "c3")
ok <- complete.cases(d)
cv <- cov(d[, targets], d[, with], use = "complete.obs")
cr <- cor(d[, targets], d[, with], use = "complete.obs")
means <- colMeans(d[ok, ])
out <- file("cov_random.csv", "w")
writeLines(paste0("# ", R.version.string, "; cov()/cor() with use=\"complete.obs\""), out)
writeLines("target,with,cov,cor,n,target_mean,with_mean", out)
for (i in seq_along(targets)) for (j in seq_along(with)) {
  writeLines(sprintf("%s,%s,%.17g,%.17g,%d,%.17g,%.17g", targets[i], with[j], cv[i, j],
                     cr[i, j], sum(ok), means[[targets[i]]], means[[with[j]]]), out)
}
close(out)
