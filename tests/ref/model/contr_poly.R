# Writes contr_poly.csv: every entry of R's contr.poly(L) for L = 2..11 levels, one line
# per entry (levels, 1-based level, degree, value). contr.poly(1) has no columns.
# Run from this folder: Rscript contr_poly.R
out <- file("contr_poly.csv", "w")
writeLines(paste0("# ", R.version.string, "; contr.poly(L), L = 2..11"), out)
writeLines("levels,level,degree,value", out)
for (L in 2:11) {
  m <- contr.poly(L)
  for (k in seq_len(L)) for (d in seq_len(L - 1)) {
    writeLines(sprintf("%d,%d,%d,%.17g", L, k, d, m[k, d]), out)
  }
}
close(out)
