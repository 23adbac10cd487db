# Writes the data larger than the retained set (tests/cluster, QMXProcKMeansTest):
#   kmeans_large.csv       12000 rows x 3 columns (x1..x3, 4 decimals), a mixture of 6 well
#                          separated Gaussian clusters of unequal sizes and spreads, rows shuffled
#   kmeans_large_ref.csv   k and R's tot.withinss of kmeans(x, k, nstart = 10) on those rows
#                          (Hartigan-Wong, iter.max = 30), as read back from the csv
# Run: Rscript kmeans_large.R   (from this folder)
hdr <- sprintf("# written by kmeans_large.R with %s", R.version.string)
set.seed(20261207)
k <- 6
centers <- matrix(c(0, 0, 0, 12, 0, 0, 0, 12, 0, 0, 0, 12, 12, 12, 0, 6, 6, 14), k, 3,
                  byrow = TRUE)
sizes <- c(3000, 2500, 2000, 2000, 1500, 1000)
spread <- c(1, 1.5, 0.8, 1.2, 1, 0.6)
x <- do.call(rbind, lapply(seq_len(k), function(g)
  sweep(matrix(rnorm(sizes[g] * 3, sd = spread[g]), sizes[g], 3), 2, centers[g, ], "+")))
x <- x[sample(nrow(x)), ]
d <- as.data.frame(formatC(round(x, 4), format = "f", digits = 4))
names(d) <- paste0("x", 1:3)
put <- function(d, file) {
  writeLines(hdr, file)
  suppressWarnings(write.table(d, file, sep = ",", row.names = FALSE, quote = FALSE,
                               append = TRUE))
}
put(d, "kmeans_large.csv")
back <- as.matrix(read.csv("kmeans_large.csv", comment.char = "#"))
set.seed(1)
fit <- kmeans(back, k, nstart = 10, iter.max = 30)
put(data.frame(k = k, tot_withinss = formatC(fit$tot.withinss, digits = 17, format = "g")),
    "kmeans_large_ref.csv")
