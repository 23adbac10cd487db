# Reference values for the least-squares tests (DoubleQR, DoubleLLS, DoubleLRLS).
# Run from this folder: Rscript lls_reference.R
# Every csv starts with a comment line naming the R version, then a header row of names.
write_ref <- function(m, file) {
  m <- as.matrix(m)
  if (is.null(colnames(m))) colnames(m) <- paste0("V", seq_len(ncol(m)))
  lines <- apply(m, 1, function(row) paste(sprintf("%.17g", row), collapse = ","))
  writeLines(c(paste0("# ", R.version.string, "; written by lls_reference.R"),
               paste(colnames(m), collapse = ","), lines), file)
}
# <prefix>coef, scpe (weighted residual cross-products) and xtxinv (unscaled covariance
# (X'X)^-1 of the full-rank rows of positive weight, from R's QR) of a fit.
write_fit <- function(prefix, fit, X, w = rep(1, nrow(X))) {
  write_ref(fit$coefficients, paste0(prefix, "coef.csv"))
  write_ref(crossprod(fit$residuals * sqrt(w)), paste0(prefix, "scpe.csv"))
  write_ref(chol2inv(qr.R(qr(X[w > 0, ] * sqrt(w[w > 0])))), paste0(prefix, "xtxinv.csv"))
}

# --- mtcars: intercept + 10 predictors, two responses, case weights with one zero ---------
X <- cbind(Intercept = 1, as.matrix(mtcars[, c("cyl", "disp", "hp", "drat", "wt", "qsec",
                                                 "vs", "am", "gear", "carb")]))
Y <- cbind(mpg = mtcars$mpg, logdisp = log(mtcars$disp))
w <- (seq_len(nrow(X)) %% 4) + 0.5
w[5] <- 0
write_ref(cbind(X, Y, w = w), "lls_mtcars_data.csv")
write_fit("lls_mtcars_", lm.fit(X, Y), X)
write_fit("lls_mtcars_w", lm.wfit(X, Y, w), X, w)
# weighted mean and centred cross-products of the responses (zero weight included in N)
wm <- colSums(Y * w) / sum(w)
write_ref(rbind(c(wm, sum(w), nrow(Y))), "lls_mtcars_wystats.csv")
write_ref(crossprod(sweep(Y, 2, wm) * sqrt(w)), "lls_mtcars_wscpy.csv")

# --- longley: intercept + 6 predictors, Employed ---------------------------------------------
XL <- cbind(Intercept = 1, as.matrix(longley[, 1:6]))
write_ref(cbind(XL, Employed = longley$Employed), "lls_longley_data.csv")
write_fit("lls_longley_", lm.fit(XL, cbind(Employed = longley$Employed)), XL)

# --- rank deficiency: third column = sum of the first two (tolerance 1e-7) ------------------
set.seed(7)
x1 <- round(rnorm(25), 3); x2 <- round(runif(25, 0, 5), 3)
XR <- cbind(x1 = x1, x2 = x2, x3 = x1 + x2)
yR <- round(1 + 2 * x1 - x2 + rnorm(25, sd = 0.3), 3)
write_ref(cbind(XR, y = yR), "lls_rankdef_data.csv")
fitR <- lm.fit(XR, yR, tol = 1e-7)
write_ref(rbind(c(rank = qr(XR, tol = 1e-7)$rank, rss = sum(fitR$residuals^2))), "lls_rankdef_fit.csv")
write_ref(cbind(fitted = fitR$fitted.values), "lls_rankdef_fitted.csv")

# --- restricted fit beta2 + beta3 = 0 on y ~ x1 + x2 + x3 (no intercept) ---------------------
set.seed(11)
XC <- cbind(x1 = 1, x2 = round(rnorm(30), 3), x3 = round(rnorm(30, 2), 3))
yC <- round(3 + 1.5 * XC[, 2] - 0.5 * XC[, 3] + rnorm(30, sd = 0.5), 3)
write_ref(cbind(XC, y = yC), "lls_restrict_data.csv")
# Substituting beta3 = -beta2 gives the constrained least-squares solution.
fitC <- lm.fit(cbind(XC[, 1], XC[, 2] - XC[, 3]), yC)
write_ref(rbind(c(fitC$coefficients, -fitC$coefficients[2], rss = sum(fitC$residuals^2))),
          "lls_restrict_fit.csv")

# --- factor model with contr.sum: y ~ f + x + g (f 4 levels, g 3 levels) ---------------------
set.seed(3)
f <- factor(rep(c("a", "b", "c", "d"), length.out = 40))
g <- factor(sample(c("u", "v", "w"), 40, replace = TRUE))
x <- round(rnorm(40, 10, 2), 3)
y <- round(5 + c(a = 1, b = -2, c = 0.5, d = 0.5)[as.character(f)] + 0.7 * x +
           c(u = 0.3, v = -0.6, w = 0.3)[as.character(g)] + rnorm(40, sd = 0.4), 3)
# the design with every level kept: intercept, f indicators, x, g indicators
write_ref(cbind(Intercept = 1, model.matrix(~ f - 1), x = x, model.matrix(~ g - 1), y = y),
          "lls_factor_data.csv")
fitF <- lm(y ~ f + x + g, contrasts = list(f = "contr.sum", g = "contr.sum"))
# C maps the lm coefficients (intercept, f1..f3, x, g1..g2) to every level coefficient
C <- matrix(0, 9, 7)
C[1, 1] <- C[6, 5] <- 1
C[2:4, 2:4] <- diag(3); C[5, 2:4] <- -1
C[7:8, 6:7] <- diag(2); C[9, 6:7] <- -1
write_ref(cbind(coef = drop(C %*% coef(fitF))), "lls_factor_coef.csv")
write_ref(cbind(d = diag(C %*% (vcov(fitF) / summary(fitF)$sigma^2) %*% t(C))), "lls_factor_d.csv")
a <- anova(fitF)
write_ref(rbind(c(f = a["f", "Sum Sq"], x = a["x", "Sum Sq"], g = a["g", "Sum Sq"],
                  resid = a["Residuals", "Sum Sq"])), "lls_factor_anova.csv")
