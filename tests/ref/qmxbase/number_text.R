# Reference texts of hard doubles for the CSV number writer: for each value its exact bits
# (C hexadecimal float) and the shortest text that reads back to the same double, in the
# plain or exponent form, whichever is shorter (plain on a tie; exponent of two digits at
# least). The digits come from R: the fewest significant digits d with which
# as.numeric(sprintf("%.*e", d - 1, x)) == x.
# Run: Rscript tests/ref/qmxbase/number_text.R > tests/ref/qmxbase/number_text.csv (R 4.2.2)
values <- list(
  "0.1" = 0.1, "0.1 + 0.2" = 0.1 + 0.2, "1/3" = 1 / 3, "2/3" = 2 / 3, "-0" = -0, "0" = 0,
  "1" = 1, "-1.5" = -1.5, "42" = 42, "100" = 100, "1e5" = 1e5, "123456" = 123456,
  "1e15" = 1e15, "1e16" = 1e16, "1e22" = 1e22, "1e23" = 1e23, "2^53" = 2^53,
  "2^53 + 2" = 2^53 + 2, "1e-4" = 1e-4, "1e-5" = 1e-5, "0.000123" = 0.000123,
  "5e-324 (smallest subnormal)" = 5e-324, "2.2250738585072009e-308 (largest subnormal)" =
    2.2250738585072009e-308, "2.2250738585072014e-308 (smallest normal)" = 2.2250738585072014e-308,
  "-2.2250738585072014e-308" = -2.2250738585072014e-308,
  "1.7976931348623157e308 (largest)" = .Machine$double.xmax,
  "1 + 2^-52" = 1 + .Machine$double.eps, "1 - 2^-53" = 1 - .Machine$double.eps / 2,
  "pi" = pi, "exp(1)" = exp(1), "9007199254740993 (rounds to 2^53)" = 9007199254740993,
  "0.3" = 0.3, "1.0000000000000002" = 1.0000000000000002, "123456789012345678" =
    123456789012345678, "-2.5e-7" = -2.5e-7, "1e20" = 1e20, "4.35" = 4.35, "1e-300 * 1e-10" =
    1e-310)
shortest <- function(x) {
  for (d in 1:17) {
    s <- sprintf("%.*e", d - 1L, x)
    if (as.numeric(s) == x && (x != 0 || identical(1 / as.numeric(s), 1 / x))) break
  }
  parts <- regmatches(s, regexec("^(-?)([0-9])\\.?([0-9]*)e([-+][0-9]+)$", s))[[1]]
  sign <- parts[2]
  digits <- paste0(parts[3], parts[4])
  e <- as.integer(parts[5])
  n <- nchar(digits)
  plain <- if (e >= n - 1) {
    paste0(digits, strrep("0", e - n + 1))
  } else if (e < 0) {
    paste0("0.", strrep("0", -e - 1), digits)
  } else {
    paste0(substr(digits, 1, e + 1), ".", substr(digits, e + 2, n))
  }
  plain <- paste0(sign, plain)
  if (nchar(plain) <= nchar(s)) plain else s
}
cat("value,bits,text\n")
for (name in names(values)) {
  x <- values[[name]]
  cat(sprintf("\"%s\",%s,%s\n", name, sprintf("%a", x), shortest(x)))
}
