# R's mean of every numeric column of examples/mtcars.csv, in the digits qmx describe
# --format csv prints (the shortest text that reads back as the same double), run from the
# repository root:  Rscript tests/ref/tools/describe_means.R
# describe_means.csv: column,mean (empty for the factor column), compared in cases/unix.tsv.
d <- read.csv("examples/mtcars.csv")
shortest <- function(x) {
  for (digits in 1:17) {
    text <- sprintf("%.*g", digits, x)
    if (as.numeric(text) == x) return(text)
  }
}
means <- sapply(names(d), function(n) if (is.numeric(d[[n]])) shortest(mean(d[[n]])) else "")
writeLines(c(paste0("# ", R.version.string), "column,mean", paste(names(d), means, sep = ",")),
           "tests/ref/tools/describe_means.csv")
