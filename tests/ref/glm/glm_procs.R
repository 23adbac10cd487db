# Writes the reference tables of the regression proc tests (QMXProcILMTest, QMXProcIGLMTest):
#   glm_procs_data.csv  the mtcars data with a positive case weight column
#   glm_procs_coef.csv  per model and coefficient: estimate and standard error of every
#                       factor level (contr.sum; the level contr.sum leaves out is minus the
#                       sum of the others), standard errors from vcov (lm) or
#                       summary(fit)$cov.unscaled (glm)
#   glm_procs_stats.csv per model: sequential sums of squares per term (anova), residual df,
#                       R-squared (lm); deviance, null deviance and their df (glm)
# Coefficient names follow the model matrix of the procs: "cyl(4)", "cyl(4):am(0)" (the
# later variable of an interaction varies fastest), "wt:cyl(6)".
# Run: Rscript glm_procs.R   (from this folder)
options(contrasts = c("contr.sum", "contr.poly"), digits = 17)
d <- mtcars
d$cyl <- factor(d$cyl)
d$am <- factor(d$am)
d$gear <- factor(d$gear)
d$wt8 <- round(d$drat / 2, 3)   # a positive case weight
d$amnum <- as.numeric(as.character(d$am))
out <- data.frame(mpg = d$mpg, wt = d$wt, hp = d$hp, cyl = as.character(d$cyl),
                  am = as.character(d$am), gear = as.character(d$gear), w = d$wt8,
                  amnum = d$amnum, carb = d$carb)
con <- file("glm_procs_data.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(out, con, row.names = FALSE, quote = FALSE)
close(con)

# Maps the contr.sum coefficients of a fit to one effect per level (cell) of each term,
# named as the procs name them, with standard errors from the covariance V.
fullEffects <- function(fit, V, terms) {
  b <- coef(fit)
  names_ <- character(0); est <- numeric(0); se <- numeric(0)
  add <- function(label, M, cols) {
    e <- M %*% b[cols]
    v <- M %*% V[cols, cols, drop = FALSE] %*% t(M)
    names_ <<- c(names_, label); est <<- c(est, e); se <<- c(se, sqrt(diag(v)))
  }
  add("(Intercept)", matrix(1, 1, 1), "(Intercept)")
  assign <- attr(model.matrix(fit), "assign")
  tl <- attr(terms(fit), "term.labels")
  for (t in seq_along(terms)) {
    spec <- terms[[t]]   # list(vars = c(...), factors = logical)
    cols <- which(assign == match(spec$label, tl))
    M <- matrix(1, 1, 1); labels <- ""
    # The procs' cells: variables in data order, the last varying fastest; R's columns: the
    # first factor varying fastest. Build R's mapping as a Kronecker product, then reorder.
    Ms <- list(); labs <- list()
    for (v in spec$vars) {
      if (is.factor(d[[v]])) {
        L <- nlevels(d[[v]])
        Ms[[v]] <- contr.sum(L)
        labs[[v]] <- paste0(v, "(", levels(d[[v]]), ")")
      } else {
        Ms[[v]] <- matrix(1, 1, 1)
        labs[[v]] <- v
      }
    }
    # R order: first variable fastest -> kronecker(last, ..., first)
    MR <- matrix(1, 1, 1)
    for (v in spec$vars) MR <- kronecker(Ms[[v]], MR)
    # cell labels in R order (first fastest)
    grid <- expand.grid(labs[spec$vars], stringsAsFactors = FALSE)
    cellR <- apply(grid, 1, paste, collapse = ":")
    # procs order: last fastest
    gridP <- expand.grid(rev(labs[spec$vars]), stringsAsFactors = FALSE)
    cellP <- apply(gridP[, rev(seq_along(spec$vars)), drop = FALSE], 1, paste, collapse = ":")
    MR <- MR[match(cellP, cellR), , drop = FALSE]
    add(cellP, MR, cols)
  }
  data.frame(name = names_, estimate = est, se = se, stringsAsFactors = FALSE)
}

coefRows <- list(); statRows <- list()
addStat <- function(model, what, value) {
  statRows[[length(statRows) + 1]] <<- data.frame(model = model, what = what, value = value)
}

ilmTerms <- list(list(label = "wt", vars = "wt"), list(label = "hp", vars = "hp"),
                 list(label = "cyl", vars = "cyl"), list(label = "am", vars = "am"),
                 list(label = "cyl:am", vars = c("cyl", "am")),
                 list(label = "wt:cyl", vars = c("wt", "cyl")))
for (model in c("lm", "lm_weighted")) {
  fit <- if (model == "lm") lm(mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl, data = d) else
    lm(mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl, data = d, weights = wt8)
  e <- fullEffects(fit, vcov(fit), ilmTerms)
  coefRows[[length(coefRows) + 1]] <- cbind(model = model, e)
  a <- anova(fit)
  for (i in seq_len(nrow(a))) {
    lab <- trimws(rownames(a)[i])
    addStat(model, paste0("ss:", lab), a[i, "Sum Sq"])
    addStat(model, paste0("df:", lab), a[i, "Df"])
  }
  addStat(model, "r2", summary(fit)$r.squared)
  addStat(model, "df.residual", fit$df.residual)
}

# Correlations and importance of a model of two covariates, and the importance of every term
# of the factor model: the unscaled Wald statistic b' V^-1 b of the term's contr.sum
# coefficients with V = summary(fit)$cov.unscaled.
simple <- lm(mpg ~ wt + hp, data = d)
cu <- summary(simple)$cov.unscaled
cc <- cov2cor(cu)
coefRows[[length(coefRows) + 1]] <- data.frame(model = "simple", name = names(coef(simple)),
                                               estimate = coef(simple), se = sqrt(diag(vcov(simple))))
addStat("simple", "corr:(Intercept) and wt", cc["(Intercept)", "wt"])
addStat("simple", "corr:(Intercept) and hp", cc["(Intercept)", "hp"])
addStat("simple", "corr:wt and hp", cc["wt", "hp"])
for (v in c("wt", "hp")) addStat("simple", paste0("wald:", v), coef(simple)[v]^2 / cu[v, v])
for (model in c("lm")) {
  fit <- lm(mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl, data = d)
  cu <- summary(fit)$cov.unscaled
  assign <- attr(model.matrix(fit), "assign")
  tl <- attr(terms(fit), "term.labels")
  for (t in seq_along(tl)) {
    cols <- which(assign == t)
    b <- coef(fit)[cols]
    addStat(model, paste0("wald:", tl[t]), drop(t(b) %*% solve(cu[cols, cols, drop = FALSE], b)))
  }
}

glmModels <- list(
  list(model = "binomial", formula = amnum ~ wt + hp, family = binomial(),
       terms = list(list(label = "wt", vars = "wt"), list(label = "hp", vars = "hp"))),
  list(model = "poisson", formula = carb ~ wt + cyl, family = poisson(),
       terms = list(list(label = "wt", vars = "wt"), list(label = "cyl", vars = "cyl"))),
  list(model = "poisson_weighted", formula = carb ~ wt + cyl, family = poisson(), weights = TRUE,
       terms = list(list(label = "wt", vars = "wt"), list(label = "cyl", vars = "cyl"))),
  list(model = "gamma", formula = mpg ~ hp + gear, family = Gamma(link = "log"),
       terms = list(list(label = "hp", vars = "hp"), list(label = "gear", vars = "gear"))))
for (g in glmModels) {
  fit <- if (is.null(g$weights))
    glm(g$formula, family = g$family, data = d, control = glm.control(epsilon = 1e-14, maxit = 100)) else
    glm(g$formula, family = g$family, data = d, weights = wt8,
        control = glm.control(epsilon = 1e-14, maxit = 100))
  e <- fullEffects(fit, summary(fit)$cov.unscaled, g$terms)
  coefRows[[length(coefRows) + 1]] <- cbind(model = g$model, e)
  addStat(g$model, "deviance", fit$deviance)
  addStat(g$model, "null.deviance", fit$null.deviance)
  addStat(g$model, "df.residual", fit$df.residual)
  addStat(g$model, "df.null", fit$df.null)
  y <- model.response(model.frame(fit))
  addStat(g$model, "mean", if (is.null(g$weights)) mean(y) else weighted.mean(y, d$wt8))
}

writeRef <- function(rows, file) {
  con <- file(file, "w")
  writeLines(paste("#", R.version.string), con)
  write.csv(do.call(rbind, rows), con, row.names = FALSE, quote = FALSE)
  close(con)
}
writeRef(coefRows, "glm_procs_coef.csv")
writeRef(statRows, "glm_procs_stats.csv")
