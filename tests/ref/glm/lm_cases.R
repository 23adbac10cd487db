# Writes the reference tables of the linear-model cases (QMXProcILMTest, LinearCasesMatchR):
#   lm_cases.csv   one row per case: data file, factor columns, formula, tolerances
#   lm_ref.csv     per case: every cell's estimate ("coef:", only where R has a number) and
#                  standard error ("se:", NaN where R reports NA), anova()'s sequential sums of
#                  squares and df per term ("ss:", "df:"; 0 for a term anova leaves out), the
#                  Regression, Residuals and Total rows, R-squared, adjusted R-squared, the F
#                  statistic and sigma of summary() (NaN where R has none)
#   lm_mtcars.csv, lm_warpbreaks.csv, lm_shift.csv, lm_one.csv, lm_three.csv: the data
# Factors use contr.sum; a cell of a factor term is C gamma (the level contr.sum leaves out is
# minus the sum of the others); a cell that depends on an aliased column is NA.
# Run: Rscript lm_cases.R   (from this folder)
options(contrasts = c("contr.sum", "contr.poly"), digits = 17)
header <- paste("#", R.version.string)
writeData <- function(d, name) {
  con <- file(name, "w")
  writeLines(header, con)
  write.csv(d, con, row.names = FALSE, quote = FALSE)
  close(con)
}

m <- data.frame(mpg = mtcars$mpg, wt = mtcars$wt, hp = mtcars$hp, cylf = paste0("c", mtcars$cyl),
                vs = mtcars$vs, vsf = paste0("v", mtcars$vs))
m$wthp <- m$wt + m$hp
m$wt2 <- 2 * m$wt
writeData(m, "lm_mtcars.csv")
w <- data.frame(breaks = warpbreaks$breaks, wool = as.character(warpbreaks$wool),
                tension = as.character(warpbreaks$tension))
writeData(w, "lm_warpbreaks.csv")
set.seed(7)
n <- 300
x <- round(runif(n, 0, 50), 2)
y <- round(3 + 0.25 * x + rnorm(n, sd = 0.5), 3)
s <- data.frame(x = x, xs = x + 1e5, y = y, ys = sprintf("%.3f", y + 1e8), yc = 5)
writeData(s, "lm_shift.csv")
s$ys <- as.numeric(s$ys)
writeData(m[1, c("mpg", "wt", "hp")], "lm_one.csv")
three <- data.frame(mpg = c(1, 3, 2), wt = c(1, 2, 4), hp = c(0, 1, 0))
writeData(three, "lm_three.csv")

cases <- read.csv(text = "case,data,factors,formula,tol,abstol
alias,lm_mtcars.csv,cylf;vsf,mpg ~ wt + hp + wthp + cylf,1e-8,1e-10
alias_double,lm_mtcars.csv,cylf;vsf,mpg ~ wt + hp + wt2,1e-8,1e-10
empty_cells,lm_mtcars.csv,cylf;vsf,mpg ~ cylf * vs,1e-8,1e-10
empty_cells_factors,lm_mtcars.csv,cylf;vsf,mpg ~ cylf * vsf,1e-8,1e-10
no_intercept,lm_mtcars.csv,cylf;vsf,mpg ~ wt + hp - 1,1e-8,1e-10
no_intercept_factor,lm_mtcars.csv,cylf;vsf,mpg ~ wt + cylf - 1,1e-8,1e-10
intercept_only,lm_mtcars.csv,cylf;vsf,mpg ~ 1,1e-8,1e-10
interaction_only,lm_mtcars.csv,cylf;vsf,mpg ~ wt + cylf:vsf,1e-8,1e-10
warpbreaks,lm_warpbreaks.csv,wool;tension,breaks ~ wool * tension,1e-8,1e-10
shift,lm_shift.csv,,y ~ x,1e-8,1e-10
shift_response,lm_shift.csv,,ys ~ x,1e-6,1e-9
shift_predictor,lm_shift.csv,,y ~ xs,1e-6,1e-9
constant,lm_shift.csv,,yc ~ x,1e-8,1e-10
one_row,lm_one.csv,,mpg ~ wt + hp,1e-8,1e-10
exact,lm_three.csv,,mpg ~ wt + hp,1e-8,1e-10", stringsAsFactors = FALSE)
con <- file("lm_cases.csv", "w")
writeLines(c(header, "# tol: relative, abstol: absolute tolerance of every value of lm_ref.csv"), con)
write.csv(cases, con, row.names = FALSE, quote = FALSE)
close(con)

# The cells of a term named as the procs name them (variables in data-column order, the
# last varying fastest) and R's map from the term's columns to them.
cellMap <- function(vars, d, full) {
  Ms <- list(); labs <- list()
  for (v in vars) {
    if (is.factor(d[[v]])) {
      L <- nlevels(d[[v]])
      Ms[[v]] <- if (full[[v]]) diag(L) else contr.sum(L)
      labs[[v]] <- paste0(v, "(", levels(d[[v]]), ")")
    } else {
      Ms[[v]] <- matrix(1, 1, 1); labs[[v]] <- v
    }
  }
  MR <- matrix(1, 1, 1)
  for (v in vars) MR <- kronecker(Ms[[v]], MR)
  cellR <- apply(expand.grid(labs[vars], stringsAsFactors = FALSE), 1, paste, collapse = ":")
  gridP <- expand.grid(rev(labs[vars]), stringsAsFactors = FALSE)
  cellP <- apply(gridP[, rev(seq_along(vars)), drop = FALSE], 1, paste, collapse = ":")
  list(names = cellP, M = MR[match(cellP, cellR), , drop = FALSE])
}

rows <- list()
add <- function(case, what, value) {
  rows[[length(rows) + 1]] <<- data.frame(case = case, what = what, value = value)
}
for (i in seq_len(nrow(cases))) {
  cs <- cases[i, ]
  d <- read.csv(cs$data, comment.char = "#")
  factors <- strsplit(cs$factors, ";")[[1]]
  for (f in intersect(factors, names(d))) d[[f]] <- factor(d[[f]])
  fit <- lm(as.formula(cs$formula), data = d)
  mm <- model.matrix(fit)
  assign <- attr(mm, "assign")
  b <- coef(fit)
  V <- vcov(fit)
  # the coded columns R actually fitted: by term, with the term's variables
  fac <- attr(terms(fit), "factors")
  tl <- attr(terms(fit), "term.labels")
  firstFull <- NULL
  if (attr(terms(fit), "intercept") == 0) {
    for (t in seq_along(tl)) {
      fv <- names(d)[names(d) %in% rownames(fac)[fac[, t] > 0]]
      fv <- fv[sapply(fv, function(v) is.factor(d[[v]]))]
      if (length(fv) > 0) { firstFull <- c(t, fv[1]); break }
    }
  }
  na <- is.na(b)
  b0 <- ifelse(na, 0, b)
  V[is.na(V) & !is.nan(V)] <- 0  # aliased columns; NaN (no residual df) stays
  emit <- function(labels, M, cols) {
    e <- M %*% b0[cols]
    v <- M %*% V[cols, cols, drop = FALSE] %*% t(M)
    dead <- (abs(M) > 0) %*% na[cols] > 0
    for (k in seq_along(labels)) {
      if (!dead[k]) add(cs$case, paste0("coef:", labels[k]), e[k])
      add(cs$case, paste0("se:", labels[k]), if (dead[k]) NaN else sqrt(v[k, k]))
    }
  }
  if (attr(terms(fit), "intercept") == 1) emit("(Intercept)", matrix(1, 1, 1), 1)
  for (t in seq_along(tl)) {
    vars <- rownames(fac)[fac[, t] > 0]
    vars <- names(d)[names(d) %in% vars]
    cols <- which(assign == t)
    # R's coding of this term: contrasts (factors pattern 1) or indicators (2; without an
    # intercept also the first factor of the first term holding one, as model.matrix does)
    full <- sapply(vars, function(v) fac[v, t] == 2 || identical(c(t, v), firstFull))
    cm <- cellMap(vars, d, full)
    emit(cm$names, cm$M, cols)
  }
  a <- anova(fit)
  for (t in tl) {
    add(cs$case, paste0("ss:", t), if (t %in% rownames(a)) a[t, "Sum Sq"] else 0)
    add(cs$case, paste0("df:", t), if (t %in% rownames(a)) a[t, "Df"] else 0)
  }
  rss <- sum(residuals(fit)^2)
  add(cs$case, "ss:Residuals", rss)
  add(cs$case, "df:Residuals", fit$df.residual)
  sm <- suppressWarnings(summary(fit))
  add(cs$case, "sigma", if (fit$df.residual > 0) sm$sigma else NaN)
  if (sd(d[[all.vars(fit$terms)[1]]]) > 0 && length(tl) > 0 && nrow(d) > fit$rank) {
    mss <- if (attr(terms(fit), "intercept") == 1) sum((fitted(fit) - mean(fitted(fit)))^2)
           else sum(fitted(fit)^2)
    add(cs$case, "ss:Regression", mss)
    add(cs$case, "df:Regression", sm$fstatistic[["numdf"]])
    add(cs$case, "ss:Total", mss + rss)
    add(cs$case, "r2", sm$r.squared)
    add(cs$case, "adj.r2", sm$adj.r.squared)
    add(cs$case, "fstat", sm$fstatistic[["value"]])
  }
}
out <- do.call(rbind, rows)
con <- file("lm_ref.csv", "w")
writeLines(header, con)
write.csv(out, con, row.names = FALSE, quote = FALSE, na = "NaN")
close(con)
