# R 4.2.2. The k-means summaries the k-means fit's printers are checked against: kmeans on
# iris[, 1:4] divided by each column's standard deviation (as --scale sd clusters it),
# started from rows 1, 51 and 101, and on the unscaled columns from rows 1, 2, 3 and 51 with
# ten iterations. Writes per case <case>_fit.csv (one line per cluster: centers in the scaled
# space, divisors, centers in the data's units, size, withinss; then totss, betweenss,
# iter) and <case>_print.txt: R's print of the
# kmeans object without the clustering vector and the list of components, then the centers
# in the data's units when the data were scaled; iris_sd_cluster.txt: the cluster of each row.
cases <- list(
  iris_sd = list(scale = apply(iris[, 1:4], 2, sd), rows = c(1, 51, 101), iter = 10),
  iris_none = list(scale = rep(1, 4), rows = c(1, 2, 3, 51), iter = 10)
)
for (name in names(cases)) {
  cs <- cases[[name]]
  x <- sweep(as.matrix(iris[, 1:4]), 2, cs$scale, "/")
  km <- kmeans(x, centers = x[cs$rows, ], iter.max = cs$iter, algorithm = "Hartigan-Wong")
  fit <- data.frame(cluster = seq_along(km$size), km$centers, check.names = FALSE)
  for (j in 1:4) fit[[paste0("scale.", colnames(x)[j])]] <- cs$scale[j]
  units <- sweep(km$centers, 2, cs$scale, "*")
  for (j in 1:4) fit[[paste0("unit.", colnames(x)[j])]] <- units[, j]
  fit$size <- km$size
  fit$withinss <- km$withinss
  fit$totss <- km$totss
  fit$betweenss <- km$betweenss
  fit$iter <- km$iter
  out <- file(paste0(name, "_fit.csv"), "w")
  writeLines("# R 4.2.2, kmeans_summary.R", out)
  write.csv(format(fit, digits = 17), out, row.names = FALSE, quote = FALSE)
  close(out)
  text <- capture.output(print(km))
  drop <- c(which(text == "Clustering vector:"), which(text == "Within cluster sum of squares by cluster:") - 1)
  text <- text[-seq(drop[1], drop[2])]
  text <- text[seq_len(which(text == "Available components:") - 2)]
  if (any(cs$scale != 1)) {
    text <- c(text, "", "Cluster means in the data's units:",
              capture.output(print(sweep(km$centers, 2, cs$scale, "*"))))
  }
  writeLines(text, paste0(name, "_print.txt"))
}
# The cluster of every row of the scaled case, as qmx score numbers them.
x <- sweep(as.matrix(iris[, 1:4]), 2, cases$iris_sd$scale, "/")
km <- kmeans(x, centers = x[cases$iris_sd$rows, ], iter.max = 10, algorithm = "Hartigan-Wong")
writeLines(c("cluster", km$cluster), "iris_sd_cluster.txt")
