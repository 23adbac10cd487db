# Writes the k-means reference tables (tests/cluster): R's kmeans(algorithm = "Hartigan-Wong")
# started from given data rows.
#   kmeans_<set>.csv      the data sets: columns x1..xp (and w, an integer point weight)
#   kmeans_stats.csv      per set and column: min, max, mean, sd (sample sd, as R's scale())
#   kmeans_cases.csv      per case: set, k, starting rows (1-based, ';'; "hclust:k" the means of
#                         complete linkage cut into k groups), iter.max, scale
#                         (0 none, 2 sd: kmeans(scale(x))), weighted (R ran on each row
#                         repeated w times), R's ifault and iter
#   kmeans_clusters.csv   per case and row: R's cluster (unweighted cases)
#   kmeans_centers.csv    per case and cluster: size, withinss, centers c1..cp; for scale 2 the
#                         centers of x / sd (R's centers + mean / sd)
# Run: Rscript kmeans_cases.R   (from this folder)
options(digits = 17)
hdr <- sprintf("# written by kmeans_cases.R with %s", R.version.string)
put <- function(d, file) {
  writeLines(hdr, file)
  suppressWarnings(write.table(d, file, sep = ",", row.names = FALSE, quote = FALSE,
                               append = TRUE))
}
fmt <- function(v) trimws(formatC(v, digits = 17, format = "g"))

sets <- list()
sets$iris <- unname(as.matrix(iris[, 1:4]))
set.seed(11)
# Three groups on an integer grid: many exact ties and repeated points.
mix <- rbind(cbind(round(rnorm(25, 0, 1.5)), round(rnorm(25, 0, 1.5))),
             cbind(round(rnorm(20, 6, 1.5)), round(rnorm(20, 1, 1.5))),
             cbind(round(rnorm(15, 3, 1.5)), round(rnorm(15, 7, 1.5))))
sets$mixture <- mix
# Well separated weighted points (weights 1..3).
wmix <- rbind(cbind(rnorm(12, 0, 0.5), rnorm(12, 0, 0.5)),
              cbind(rnorm(12, 5, 0.5), rnorm(12, 5, 0.5)),
              cbind(rnorm(12, 0, 0.5), rnorm(12, 6, 0.5)))
wts <- sample(1:3, nrow(wmix), replace = TRUE)
sets$weighted <- wmix
# A larger well separated mixture (the fold through a small retained set).
sep <- rbind(cbind(rnorm(200, 0, 1), rnorm(200, 0, 1)), cbind(rnorm(200, 10, 1), rnorm(200, 0, 1)),
             cbind(rnorm(200, 5, 1), rnorm(200, 9, 1)))
sets$separated <- sep[sample(nrow(sep)), ]
# A symmetric integer lattice: exact ties of distances and of transfer costs.
sets$lattice <- unname(as.matrix(expand.grid(0:4, 0:4)))
# The grid mixture again with weights 1..3 (clusters overlap: points do move). A weighted
# point moves whole where R moves its copies one by one, so these fits are checked for
# local optimality (kmeans_weighted_starts.csv), not against R.
sets$wmixture <- mix
wmix_w <- c(rep(1:3, length.out = nrow(mix)))

for (s in names(sets)) {
  x <- sets[[s]]
  d <- as.data.frame(apply(x, 2, fmt))
  names(d) <- paste0("x", seq_len(ncol(x)))
  if (s == "weighted") d$w <- wts
  if (s == "wmixture") d$w <- wmix_w
  put(d, sprintf("kmeans_%s.csv", s))
}
stats <- do.call(rbind, lapply(names(sets), function(s) {
  x <- sets[[s]]
  data.frame(set = s, column = paste0("x", seq_len(ncol(x))), min = fmt(apply(x, 2, min)),
             max = fmt(apply(x, 2, max)), mean = fmt(colMeans(x)), sd = fmt(apply(x, 2, sd)))
}))
put(stats, "kmeans_stats.csv")

cases <- data.frame(
  case = c("iris3", "iris5", "iris_sd", "iris_maxit", "mix3", "mix4", "mix2", "weighted3",
           "sep3", "iris_first4", "iris_hclust", "lattice2", "lattice3", "lattice4", "lattice5"),
  set = c("iris", "iris", "iris", "iris", "mixture", "mixture", "mixture", "weighted",
          "separated", "iris", "iris", "lattice", "lattice", "lattice", "lattice"),
  start = c("1;51;101", "3;8;60;77;120", "5;52;140", "1;2;3;4;5;6", "1;26;46", "2;3;30;50",
            "7;8", "1;14;30", "1;2;3", "1;2;3;4", "hclust:3", "1;3", "1;3;5", "1;2;3;4",
            "7;9;17;19;13"),
  iter = c(10, 10, 10, 1, rep(10, 11)),
  scale = c(0, 0, 2, rep(0, 12)),
  weighted = c(rep(0, 7), 1, rep(0, 7)),
  stringsAsFactors = FALSE)
clusters <- NULL
centers <- NULL
cases$k <- cases$ifault <- cases$iter_out <- 0
for (r in seq_len(nrow(cases))) {
  cs <- cases[r, ]
  x <- sets[[cs$set]]
  if (startsWith(cs$start, "hclust:")) {
    # Complete linkage of every row cut into k groups; the group means start kmeans.
    k <- as.integer(sub("hclust:", "", cs$start))
    groups <- cutree(hclust(dist(x), "complete"), k)
    ctr <- do.call(rbind, lapply(seq_len(k), function(g) colMeans(x[groups == g, , drop = FALSE])))
  } else {
    rows <- as.integer(strsplit(cs$start, ";")[[1]])
    ctr <- x[rows, , drop = FALSE]
  }
  cases$k[r] <- nrow(ctr)
  if (cs$scale == 2) {
    z <- scale(x)
    fit <- kmeans(z, z[rows, , drop = FALSE], iter.max = cs$iter)
    shift <- matrix(colMeans(x) / apply(x, 2, sd), nrow(fit$centers), ncol(x), byrow = TRUE)
    fit$centers <- fit$centers + shift
  } else if (cs$weighted == 1) {
    rep_rows <- rep(seq_len(nrow(x)), wts)
    fit <- kmeans(x[rep_rows, ], ctr, iter.max = cs$iter)
    # Every copy of a point must end in one cluster for the weighted fit to be comparable.
    stopifnot(all(tapply(fit$cluster, rep_rows, function(v) length(unique(v))) == 1))
  } else {
    fit <- suppressWarnings(kmeans(x, ctr, iter.max = cs$iter))
  }
  cases$ifault[r] <- fit$ifault
  cases$iter_out[r] <- fit$iter
  if (cs$weighted == 0)
    clusters <- rbind(clusters, data.frame(case = cs$case, row = seq_len(nrow(x)),
                                           cluster = fit$cluster))
  cc <- as.data.frame(apply(fit$centers, 2, fmt))
  names(cc) <- paste0("c", seq_len(ncol(x)))
  for (j in seq_len(4)) if (j > ncol(x)) cc[[paste0("c", j)]] <- "NA"
  centers <- rbind(centers, cbind(data.frame(case = cs$case, cluster = seq_len(nrow(fit$centers)),
                                             size = fit$size, withinss = fmt(fit$withinss)), cc))
}
names(cases)[names(cases) == "iter_out"] <- "r_iter"
put(cases[, c("case", "set", "k", "start", "iter", "scale", "weighted", "ifault", "r_iter")],
    "kmeans_cases.csv")
put(clusters, "kmeans_clusters.csv")
put(centers, "kmeans_centers.csv")
