# Reference summaries for the CSV metadata pass: for each column of each data file, the
# type R's read.csv gives it, the count of non-missing and missing values, min, max,
# mean and sd (n - 1 divisor) of numeric columns, and the factor levels in C-locale
# (byte) order with their counts. Run from the repository root:
#   Rscript tests/ref/qmxbase/csv_metadata.R
# Writes csv_metadata_mixed.csv (a data file with missing values) and
# csv_metadata_summary.csv (the summaries of examples/mtcars.csv, examples/iris.csv and
# csv_metadata_mixed.csv).
here <- "tests/ref/qmxbase"
set.seed(20261205)
n <- 300
mixed <- data.frame(
  x = round(rnorm(n, 10, 3), 4),
  g = sample(c("b", "a", "B", "_z", "a b", "Zeta"), n, replace = TRUE),
  k = sample(1:9, n, replace = TRUE),
  stringsAsFactors = FALSE)
mixed$x[sample(n, 17)] <- NA
mixed$g[sample(n, 11)] <- NA
mixed$k[sample(n, 5)] <- NA
write.csv(mixed, file.path(here, "csv_metadata_mixed.csv"), row.names = FALSE)

summarise <- function(file, label) {
  d <- read.csv(file, stringsAsFactors = FALSE, na.strings = c("", "NA"))
  rows <- lapply(names(d), function(col) {
    v <- d[[col]]
    ok <- !is.na(v)
    if (is.numeric(v)) {
      num <- sprintf("%.17g", c(min(v[ok]), max(v[ok]), mean(v[ok]), sd(v[ok])))
      data.frame(file = label, rows = nrow(d), column = col, type = "double", n = sum(ok),
                 missing = sum(!ok), min = num[1], max = num[2], mean = num[3], sd = num[4],
                 levels = "")
    } else {
      tab <- table(v[ok])
      lev <- sort(names(tab), method = "radix")
      data.frame(file = label, rows = nrow(d), column = col, type = "factor", n = sum(ok),
                 missing = sum(!ok), min = "", max = "", mean = "", sd = "",
                 levels = paste0(lev, ":", as.integer(tab[lev]), collapse = ";"))
    }
  })
  do.call(rbind, rows)
}
out <- rbind(summarise("examples/mtcars.csv", "mtcars.csv"),
             summarise("examples/iris.csv", "iris.csv"),
             summarise(file.path(here, "csv_metadata_mixed.csv"), "csv_metadata_mixed.csv"))
con <- file(file.path(here, "csv_metadata_summary.csv"), "w")
writeLines(paste0("# ", R.version.string, "; written by csv_metadata.R"), con)
write.table(out, con, sep = ",", quote = FALSE, row.names = FALSE)
close(con)
