# Writes the references of the linear-model cases of lm_cases.csv (QMXProcILMTest):
#   lm_ref.csv  per case: every cell's estimate ("coef:", only where R has a number) and standard
#               error ("se:", NaN where R reports NA), anova()'s sequential sums of squares and
#               df per term ("ss:", "df:"; 0 for a term anova leaves out), Residuals, and where
#               R has them the Regression and Total rows, R-squared, adjusted R-squared, F, sigma
#   lm_mtcars.csv, lm_warpbreaks.csv, lm_shift.csv, lm_one.csv, lm_three.csv: the data
# Factors use contr.sum; a cell of a factor term is C gamma (the level contr.sum leaves out is
# minus the sum of the others; cells named as the procs name them, the last variable varying
# fastest); a cell that depends on an aliased column is NA.
# Run: Rscript lm_cases.R   (from this folder)
options(contrasts = c("contr.sum", "contr.poly"), digits = 17)
header <- paste("#", R.version.string)
writeData <- function(d, name, na = "NA") {
  con <- file(name, "w")
  writeLines(header, con)
  write.csv(d, con, row.names = FALSE, quote = FALSE, na = na)
  close(con)
}
m <- data.frame(mpg = mtcars$mpg, wt = mtcars$wt, hp = mtcars$hp, cylf = paste0("c", mtcars$cyl),
                vs = mtcars$vs, vsf = paste0("v", mtcars$vs), wthp = mtcars$wt + mtcars$hp,
                wt2 = 2 * mtcars$wt, w = rep(c(0, 1, 2, 1.5), 8))
writeData(m, "lm_mtcars.csv")
writeData(data.frame(breaks = warpbreaks$breaks, wool = warpbreaks$wool,
                     tension = warpbreaks$tension), "lm_warpbreaks.csv")
set.seed(7)
x <- round(runif(300, 0, 50), 2)
y <- round(3 + 0.25 * x + rnorm(300, sd = 0.5), 3)
writeData(data.frame(x = x, xs = x + 1e5, y = y, ys = sprintf("%.3f", y + 1e8), yc = 5),
          "lm_shift.csv")
writeData(m[1, c("mpg", "wt", "hp")], "lm_one.csv")
writeData(data.frame(mpg = c(1, 3, 2), wt = c(1, 2, 4), hp = c(0, 1, 0)), "lm_three.csv")

cases <- read.csv("lm_cases.csv", comment.char = "#", stringsAsFactors = FALSE)
rows <- list()
add <- function(case, what, value) rows[[length(rows) + 1]] <<- data.frame(case, what, value)
for (i in seq_len(nrow(cases))) {
  cs <- cases[i, ]
  d <- read.csv(cs$data, comment.char = "#")
  for (f in intersect(strsplit(cs$factors, ";")[[1]], names(d))) d[[f]] <- factor(d[[f]])
  d$.w <- if (cs$weights %in% names(d)) d[[cs$weights]] else 1
  fit <- lm(as.formula(cs$formula), data = d, weights = .w)
  assign <- attr(model.matrix(fit), "assign")
  fac <- attr(terms(fit), "factors")
  tl <- attr(terms(fit), "term.labels")
  na <- is.na(coef(fit))
  b <- ifelse(na, 0, coef(fit))
  V <- vcov(fit)
  V[is.na(V) & !is.nan(V)] <- 0  # aliased columns; NaN (no residual df) stays
  emit <- function(labels, M, cols) {
    v <- M %*% V[cols, cols, drop = FALSE] %*% t(M)
    dead <- (abs(M) > 0) %*% na[cols] > 0
    for (k in seq_along(labels)) {
      if (!dead[k]) add(cs$case, paste0("coef:", labels[k]), (M %*% b[cols])[k])
      add(cs$case, paste0("se:", labels[k]), if (dead[k]) NaN else sqrt(v[k, k]))
    }
  }
  if (attr(terms(fit), "intercept") == 1) emit("(Intercept)", matrix(1), 1)
  firstFull <- attr(terms(fit), "intercept") == 0  # model.matrix: indicators for the first factor
  for (t in seq_along(tl)) {
    vars <- names(d)[names(d) %in% rownames(fac)[fac[, t] > 0]]
    M <- matrix(1); cellR <- ""; cellP <- ""
    for (v in vars) {
      lab <- if (is.factor(d[[v]])) paste0(v, "(", levels(d[[v]]), ")") else v
      full <- is.factor(d[[v]]) && (fac[v, t] == 2 || firstFull)
      if (is.factor(d[[v]])) firstFull <- FALSE
      C <- if (!is.factor(d[[v]])) matrix(1) else if (full) diag(nlevels(d[[v]])) else
        contr.sum(nlevels(d[[v]]))
      M <- kronecker(C, M)  # R's columns: the first variable varying fastest
      cellR <- as.vector(outer(cellR, lab, paste, sep = ":"))
      cellP <- as.vector(t(outer(cellP, lab, paste, sep = ":")))
    }
    cellP <- sub("^:", "", cellP)
    emit(cellP, M[match(cellP, sub("^:", "", cellR)), , drop = FALSE], which(assign == t))
  }
  a <- anova(fit)
  for (t in tl) {
    add(cs$case, paste0("ss:", t), if (t %in% rownames(a)) a[t, "Sum Sq"] else 0)
    add(cs$case, paste0("df:", t), if (t %in% rownames(a)) a[t, "Df"] else 0)
  }
  sm <- suppressWarnings(summary(fit))
  rss <- sum(weighted.residuals(fit)^2)
  add(cs$case, "ss:Residuals", rss)
  add(cs$case, "df:Residuals", fit$df.residual)
  add(cs$case, "sigma", if (fit$df.residual > 0) sm$sigma else NaN)
  if (sd(model.response(model.frame(fit))) > 0 && length(tl) > 0 && fit$df.residual > 0) {
    mss <- sm$fstatistic[["value"]] * sm$fstatistic[["numdf"]] * sm$sigma^2
    add(cs$case, "ss:Regression", mss)
    add(cs$case, "df:Regression", sm$fstatistic[["numdf"]])
    add(cs$case, "ss:Total", mss + rss)
    add(cs$case, "r2", sm$r.squared)
    add(cs$case, "adj.r2", sm$adj.r.squared)
    add(cs$case, "fstat", sm$fstatistic[["value"]])
  }
}
writeData(do.call(rbind, rows), "lm_ref.csv", na = "NaN")
