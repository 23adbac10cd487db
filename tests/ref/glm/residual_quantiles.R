# Writes the references of GLMResidualQuantilesTest: sets of values and R's quantile(x)
# (type 7) of each; -0 and +0 are one value to quantile().
#   residual_quantiles_data.csv  set,x (in the order the test feeds them)
#   residual_quantiles_ref.csv   set,min,q1,median,q3,max
# Run: Rscript residual_quantiles.R   (from this folder)
set.seed(5)
sets <- list(
  one = 2.5,
  two = c(3, -1),
  five = c(0.1, 0.7, -0.3, 0.7, 2),
  ties = rep(c(1, 2, 2, 2, 3), 20),
  constant = rep(-4.25, 13),
  normal = rnorm(1001),
  heavy = rt(2000, df = 1),
  outlier = c(runif(999), 1e12),
  tiny = rnorm(400) * 1e-300,
  zeros = rep(c(0, -0, 1e-310, -1e-310, -2, 2, -0), 40),
  signs = c(-rexp(600), rep(c(0, -0), 150), rexp(600)))
header <- paste("#", R.version.string)
data <- do.call(rbind, lapply(names(sets), function(s) data.frame(set = s, x = sets[[s]])))
ref <- do.call(rbind, lapply(names(sets), function(s) {
  q <- quantile(sets[[s]], names = FALSE)
  data.frame(set = s, min = q[1], q1 = q[2], median = q[3], q3 = q[4], max = q[5])
}))
for (f in list(list(data, "residual_quantiles_data.csv"), list(ref, "residual_quantiles_ref.csv"))) {
  con <- file(f[[2]], "w")
  writeLines(header, con)
  d <- f[[1]]
  for (k in names(d)[-1]) d[[k]] <- sprintf("%.17g", d[[k]])
  write.csv(d, con, row.names = FALSE, quote = FALSE)
  close(con)
}
