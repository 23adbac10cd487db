# Writes poly_coefs.csv: per case, the values x (| between them), the degree and R's
# attr(poly(x, degree), "coefs") (alpha, norm2), which tests/model/PolynomialContrastsTest.cpp
# compares with the Stieltjes passes of PolyBasis to 1e-10. Run: Rscript poly_coefs.R
set.seed(20261207)
cases <- list(
  small = list(x = c(1, 2, 3, 5), degree = 2),
  disp = list(x = mtcars$disp, degree = 2),
  ties = list(x = rep(c(0.5, 1, 4, 9, 16, 25), 5), degree = 5),
  offset = list(x = 1e6 + round(runif(40, 0, 10), 3), degree = 3),
  wide = list(x = round(rnorm(60, 3, 2), 4), degree = 8))
con <- file("poly_coefs.csv", "w")
writeLines(paste("#", R.version.string), con)
writeLines("case,degree,x,alpha,norm2", con)
for (name in names(cases)) {
  x <- cases[[name]]$x
  k <- cases[[name]]$degree
  co <- attr(poly(x, k), "coefs")
  text <- function(v) paste(sprintf("%.17g", v), collapse = "|")
  writeLines(paste(name, k, text(x), text(co$alpha), text(co$norm2), sep = ","), con)
}
close(con)
