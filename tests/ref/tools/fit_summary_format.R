# R's format(x, digits) and format.pval(p, digits) of a few vectors, the number formatting of
# qmx fit's text summary (tests/tools/FitSummaryFormatTest.cpp). Run from the repository root:
#   Rscript tests/ref/tools/fit_summary_format.R
# Columns: kind (real or pval), digits, the values (';'-separated, 17 significant digits) and
# R's texts (';'-separated, padding kept).
cases <- list(
  list("real", 4, c(37.22727011644719, -3.877830742404682, -0.03177294698216)),
  list("real", 4, c(12.04037, -4.02397, 4.51006621, 1.436527)),
  list("real", 4, c(1e-10, 1)),
  list("real", 4, c(123456789, 2)),
  list("real", 4, c(0.1, 0.123456)),
  list("real", 4, c(-2.5, 1000.25)),
  list("real", 4, c(9.99996, 1)),
  list("real", 4, c(0, 1.5)),
  list("real", 4, c(1e5, 1e-5)),
  list("real", 4, c(2.5926)),
  list("real", 5, c(43.229733276857, 19.176084807445)),
  list("real", 5, c(8.666666666666, 5.9165e-31)),
  list("real", 1, c(2.220446049250313e-16)),
  list("pval", 3, c(2.5654585119837399e-20, 1.1196471362000340e-06, 1.4512285315694238e-03)),
  list("pval", 3, c(0.00061684322530068, 0.0029471980368049, 0.19336774951740, 0.0671936417207)),
  list("pval", 3, c(1e-30)),
  list("pval", 3, c(1e-30, 0.5)),
  list("pval", 3, c(0.5, 0.99999)),
  list("pval", 3, c(1e-5, 2e-7)),
  list("pval", 4, c(9.1094e-12)),
  list("pval", 4, c(1e-20)))
rows <- sapply(cases, function(c) {
  texts <- if (c[[1]] == "real") format(c[[3]], digits = c[[2]]) else
    format.pval(c[[3]], digits = c[[2]])
  paste(c[[1]], c[[2]], paste(sprintf("%.17g", c[[3]]), collapse = ";"),
        paste(texts, collapse = ";"), sep = ",")
})
writeLines(c(paste("#", R.version.string), "kind,digits,values,texts", rows),
           "tests/ref/tools/fit_summary_format.csv")
