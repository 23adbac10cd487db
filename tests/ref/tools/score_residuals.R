# Reference residuals of the qmx score tests (ScoreCommandTest.ResidualTypesMatchR), run from
# the repository root:  Rscript tests/ref/tools/score_residuals.R
# score_residuals_data.csv: 40 rows of simulated data (x, a factor g, a weight w, and one
#   response per family: yb 0/1, p proportions of n trials, s successes and f failures,
#   cnt counts, ypos positive, yg continuous; the factor response ev yes/no).
# score_residuals_cases.csv: the fits: kind, response (with `failures`: cbind(response,
#   failures)), right side, family and weights column.
# score_residuals_ref.csv: residuals(fit, type = t) on the fitting data for every case, row
#   and type (deviance, pearson, working, response), and "default" for residuals(fit).
# The glm fits run to full convergence (epsilon 1e-14), as the test fits with --epsilon 1e-13.
header <- paste0("# ", R.version.string)
fmt <- function(v) trimws(formatC(v, digits = 17, format = "g"))
set.seed(20261207)
n <- 40
x <- round(runif(n, 0, 4), 2)
g <- factor(sample(c("a", "b", "c"), n, replace = TRUE))
w <- round(runif(n, 0.5, 3), 1)
eta <- -1 + 0.8 * x - 0.5 * (g == "b")
trials <- sample(5:15, n, replace = TRUE)
s <- rbinom(n, trials, plogis(eta))
d <- data.frame(
  x = x, g = g, w = w,
  yb = rbinom(n, 1, plogis(eta)),
  p = round(s / trials, 6), n = trials, s = s, f = trials - s,
  cnt = rpois(n, exp(0.2 + 0.4 * x)),
  ypos = round(rgamma(n, shape = 3, rate = 3 / exp(0.5 + 0.3 * x)), 4),
  yg = round(2 + 1.5 * x + rnorm(n), 4))
d$p <- d$s / d$n
d$ev <- factor(ifelse(d$yb == 1, "yes", "no"))
write.csv(d, "tests/ref/tools/score_residuals_data.csv", row.names = FALSE, quote = FALSE)
ctl <- glm.control(epsilon = 1e-14, maxit = 100)
cases <- list(
  list("binomial01", "glm", "yb,,x + g", "binomial", "",
       glm(yb ~ x + g, binomial, d, control = ctl)),
  list("binomial_factor", "glm", "ev,,x", "binomial", "",
       glm(ev ~ x, binomial, d, control = ctl)),
  list("binomial_prop", "glm", "p,,x + g", "binomial", "n",
       glm(p ~ x + g, binomial, d, weights = n, control = ctl)),
  list("binomial_cbind", "glm", "s,f,x + g", "binomial", "",
       glm(cbind(s, f) ~ x + g, binomial, d, control = ctl)),
  list("binomial_cbind_w", "glm", "s,f,x", "binomial", "w",
       glm(cbind(s, f) ~ x, binomial, d, weights = w, control = ctl)),
  list("poisson", "glm", "cnt,,x + g", "poisson", "w",
       glm(cnt ~ x + g, poisson, d, weights = w, control = ctl)),
  list("gamma", "glm", "ypos,,x", "gamma", "",
       glm(ypos ~ x, Gamma, d, control = ctl)),
  list("gaussian", "glm", "yg,,x + g", "gaussian", "w",
       glm(yg ~ x + g, gaussian, d, weights = w, control = ctl)),
  list("lm", "lm", "yg,,x + g", "", "w", lm(yg ~ x + g, d, weights = w)))
caseLines <- c(header, "case,kind,response,failures,rhs,family,weights")
refLines <- c(header, "case,row,type,value")
for (k in cases) {
  caseLines <- c(caseLines, paste(k[[1]], k[[2]], k[[3]], k[[4]], k[[5]], sep = ","))
  fit <- k[[6]]
  for (type in c("default", "deviance", "pearson", "working", "response")) {
    r <- if (type == "default") residuals(fit) else residuals(fit, type = type)
    refLines <- c(refLines, paste(k[[1]], seq_len(n), type, fmt(unname(r)), sep = ","))
  }
}
writeLines(caseLines, "tests/ref/tools/score_residuals_cases.csv")
writeLines(refLines, "tests/ref/tools/score_residuals_ref.csv")
