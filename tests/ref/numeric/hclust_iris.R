# Writes the hierarchical clustering references from the four numeric iris columns:
#   hclust_iris_data.csv     the input: unique rows plus a fixed uniform jitter in
#                            [-0.005, 0.005] (set.seed(20261205)), so no two pairwise
#                            distances tie; 149 rows x 4 columns.
#   hclust_iris_groups.csv   cutree(hclust(dist(x)^2, method), k) for the seven methods and
#                            k = 2..6, one line per method, k and row.
#   hclust_iris_centers.csv  the column means of each of those groups.
# The dissimilarity is the squared Euclidean distance for every method.
# Run: Rscript hclust_iris.R   (from this folder)
x <- unique(as.matrix(iris[, 1:4]))
set.seed(20261205)
x <- x + matrix(runif(length(x), -0.005, 0.005), nrow(x))
d2 <- dist(x)^2
stopifnot(length(unique(as.vector(d2))) == length(d2))
f17 <- function(v) sprintf("%.17g", v)
write_ref <- function(table, out, ...) {
  writeLines(c(paste("#", R.version.string), if (out != "hclust_iris_data.csv")
    "# method codes: 1 ward.D, 2 single, 3 complete, 4 average, 5 mcquitty, 6 median, 7 centroid"), out)
  suppressWarnings(write.table(table, out, sep = ",", quote = FALSE, row.names = FALSE, append = TRUE, ...))
}
write_ref(apply(x, 2, f17), "hclust_iris_data.csv", col.names = c("x1", "x2", "x3", "x4"))
methods <- c("ward.D", "single", "complete", "average", "mcquitty", "median", "centroid")
groups <- list()
centers <- list()
for (code in seq_along(methods)) for (k in 2:6) {
  g <- cutree(hclust(d2, method = methods[code]), k)
  groups[[length(groups) + 1]] <- data.frame(method = code, k = k, row = seq_along(g), group = g)
  m <- t(sapply(1:k, function(grp) f17(colMeans(x[g == grp, , drop = FALSE]))))
  centers[[length(centers) + 1]] <- data.frame(method = code, k = k, group = 1:k, c1 = m[, 1],
                                               c2 = m[, 2], c3 = m[, 3], c4 = m[, 4])
}
write_ref(do.call(rbind, groups), "hclust_iris_groups.csv")
write_ref(do.call(rbind, centers), "hclust_iris_centers.csv")
