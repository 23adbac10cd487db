# Writes formula_terms.csv: R's terms of model formulas, the reference of ModelFormulaTest.
# Run from this folder: Rscript formula_terms.R
#
# The data columns (ModelFormulaTest declares the same list): y, x, z numeric; f factor
# (a, b, c); g factor (lo, hi); `my var` numeric; w numeric (the case weights); s text.
# For `.`, R is given the data without w (our `.` leaves the weights out) and without s (our
# `.` leaves text columns out).
# One line per formula, no commas inside fields: formula, intercept, term labels joined by
# "|", the rows of R's factors matrix that enter some term (in row order) joined by ";", and
# per term the rows with a nonzero entry joined by ";", terms joined by "|".
d <- data.frame(y = 1:6 + 0.5, x = c(2, 3, 5, 7, 11, 13), z = c(1, 0, 1, 0, 2, 2),
                f = factor(c("a", "b", "c", "a", "b", "c")),
                g = factor(c("lo", "hi", "lo", "hi", "lo", "hi"), levels = c("lo", "hi")),
                `my var` = 6:1, check.names = FALSE)
formulas <- c(
  "y ~ x", "y ~ x + f", "y ~ x * f", "y ~ f * x", "y ~ g:x + x",
  "y ~ (x + z + f)^2", "y ~ x * z * f - x:z:f", "y ~ x + I(x^2) + I(z^3)",
  "y ~ f:I(x^2) + x", "y ~ .", "y ~ . - z", "y ~ .^2", "y ~ x - 1", "y ~ 0 + x + f",
  "y ~ x + z - 0", "y ~ 1", "y ~ f/x", "y ~ x %in% f", "y ~ `my var` + x:`my var`",
  "y ~ (x + z):f", "y ~ x + x:z + z", "y ~ x*z + f - x", "y ~ -1 + x + 1", "f ~ x + z",
  "y ~ x:z:x", "~ x + z", "cbind(y,z) ~ x + f", "y ~ x*f*g", "y~(x+f+g)^3 - f:g",
  "y ~ x + (z + f)/g", "y ~ I(x^2):I(z^2) + z:x", "y ~ x + x + f:x + x:f",
  "y ~ log(x) + I(x * z) + sqrt(z):f", "y ~ exp(x)*g - 1",
  "y ~ I((x + z)^2) + I(x^2) + log(x):I(x^2)")
out <- file("formula_terms.csv", "w")
writeLines(paste0("# ", R.version.string, "; attr(terms(f), \"term.labels\"/\"factors\"/",
                  "\"intercept\"), written by formula_terms.R"), out)
writeLines("formula,intercept,labels,variables,factors", out)
for (text in formulas) {
  f <- as.formula(text)
  tt <- if (grepl(".", text, fixed = TRUE) && !grepl("I(", text, fixed = TRUE))
    terms(f, data = d) else terms(f)
  labels <- attr(tt, "term.labels")
  fac <- attr(tt, "factors")
  termVars <- vapply(seq_along(labels), function(j)
    paste(rownames(fac)[fac[, j] != 0], collapse = ";"), "")
  used <- if (length(labels)) rownames(fac)[rowSums(fac != 0) > 0] else character(0)
  writeLines(paste(text, attr(tt, "intercept"), paste(labels, collapse = "|"),
                   paste(used, collapse = ";"), paste(termVars, collapse = "|"), sep = ","),
             out)
}
close(out)
