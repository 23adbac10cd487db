# Writes glm_oscillating.csv (30 rows: x, y) and glm_oscillating_ref.csv: a Gamma identity fit
# whose glm.fit path oscillates (the deviance rises every other iteration) and stops at maxit
# without converging, R's values of that path, and the minimum deviance found by optim.
# Run: Rscript glm_oscillating.R   (from this folder)
set.seed(180)
n <- 30
x <- runif(n, 0, 10)
y <- rgamma(n, shape = 0.7, rate = 0.7 / (1 + 2 * x))
d <- data.frame(x = round(x, 6), y = round(y, 6))
write.csv(d, "glm_oscillating.csv", row.names = FALSE, quote = FALSE)
g <- suppressWarnings(glm(y ~ x, family = Gamma("identity"), data = d))
dev <- function(b) {
  mu <- b[1] + b[2] * d$x
  if (any(mu <= 0)) return(Inf)
  sum(Gamma()$dev.resids(d$y, mu, rep(1, n)))
}
o <- optim(coef(g), dev, method = "Nelder-Mead", control = list(reltol = 1e-15, maxit = 20000))
o <- optim(o$par, dev, method = "BFGS", control = list(reltol = 1e-15, maxit = 1000))
out <- data.frame(r_deviance = deviance(g), r_iterations = g$iter, r_converged = as.integer(g$converged),
                  min_deviance = o$value)
con <- file("glm_oscillating_ref.csv", "w")
writeLines(paste("#", R.version.string), con)
write.csv(format(out, digits = 17), con, row.names = FALSE, quote = FALSE)
close(con)
