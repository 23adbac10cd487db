# Writes the references of the summary cases of summary_cases.csv (GLMSummaryTest), factors in
# R's default treatment coding (relevel for a case's reference levels):
#   summary_ref.csv  per case and coefficient (R's name): "est:", "se:", "stat:", "p:" (NaN
#                    where R has NA), "aliased:" (1 or 0), "lo:", "hi:" (confint.default);
#                    lm: anova()'s rows "aov.df:", "aov.ss:", "aov.ms:", "aov.f:", "aov.p:";
#                    "res:1" .. "res:5" the quantiles of summary()'s residuals (lm) or
#                    deviance residuals (glm); "loglik", "aic"; lm also "fstat", "fstat.p"
#   summary_data.csv, summary_empty.csv: generated data (summary_empty.csv has no row with
#                    f1 = c and f3 = v)
# Run: Rscript summary_cases.R   (from this folder)
options(digits = 17)
header <- paste("#", R.version.string)
writeData <- function(d, name, na = "NA") {
  con <- file(name, "w")
  writeLines(header, con)
  write.csv(d, con, row.names = FALSE, quote = FALSE, na = na)
  close(con)
}
set.seed(11)
n <- 60
d <- data.frame(x = round(runif(n, 0, 4), 3), f1 = sample(c("a", "b", "c"), n, TRUE),
                f2 = sample(c("p", "q", "r", "s"), n, TRUE), f3 = sample(c("u", "v"), n, TRUE),
                w = round(runif(n, 0.5, 2), 2))
eta <- 0.3 + 0.5 * d$x + c(a = 0, b = 0.4, c = -0.3)[d$f1] + c(p = 0, q = 0.2, r = -0.2, s = 0.5)[d$f2]
d$y <- round(eta + rnorm(n, sd = 0.5), 4)
d$ybin <- rbinom(n, 1, plogis(eta - 1.2))
d$count <- rpois(n, exp(eta / 2))
d$ypos <- round(rgamma(n, shape = 5, rate = 5 / exp(eta / 3)), 4)
writeData(d, "summary_data.csv")
writeData(d[!(d$f1 == "c" & d$f3 == "v"), ], "summary_empty.csv")

cases <- read.csv("summary_cases.csv", comment.char = "#", stringsAsFactors = FALSE)
rows <- list()
add <- function(case, what, value) rows[[length(rows) + 1]] <<- data.frame(case, what, value)
for (i in seq_len(nrow(cases))) {
  cs <- cases[i, ]
  d <- read.csv(cs$data, comment.char = "#")
  for (f in intersect(strsplit(cs$factors, ";")[[1]], names(d))) d[[f]] <- factor(d[[f]])
  for (r in strsplit(cs$reference, ";")[[1]]) {
    kv <- strsplit(r, "=")[[1]]
    d[[kv[1]]] <- relevel(d[[kv[1]]], kv[2])
  }
  d$.w <- if (cs$weights %in% names(d)) d[[cs$weights]] else 1
  fit <- if (cs$family == "lm") lm(as.formula(cs$formula), data = d, weights = .w) else {
    fam <- get(cs$family)
    glm(as.formula(cs$formula), data = d, weights = .w,
        family = if (cs$link == "-") fam() else fam(link = cs$link))
  }
  s <- summary(fit)
  cf <- coef(fit)
  tab <- coef(s)
  ci <- suppressMessages(confint.default(fit))
  for (k in names(cf)) {
    al <- is.na(cf[[k]])
    add(cs$case, paste0("aliased:", k), as.numeric(al))
    if (al) next
    add(cs$case, paste0("est:", k), tab[k, 1])
    add(cs$case, paste0("se:", k), tab[k, 2])
    add(cs$case, paste0("stat:", k), tab[k, 3])
    add(cs$case, paste0("p:", k), tab[k, 4])
    add(cs$case, paste0("lo:", k), ci[k, 1])
    add(cs$case, paste0("hi:", k), ci[k, 2])
  }
  res <- quantile(if (cs$family == "lm") s$residuals else s$deviance.resid, names = FALSE)
  for (k in 1:5) add(cs$case, paste0("res:", k), res[k])
  add(cs$case, "loglik", as.numeric(logLik(fit)))
  add(cs$case, "aic", AIC(fit))
  if (cs$family == "lm") {
    a <- anova(fit)
    for (t in rownames(a)) {
      add(cs$case, paste0("aov.df:", t), a[t, "Df"])
      add(cs$case, paste0("aov.ss:", t), a[t, "Sum Sq"])
      add(cs$case, paste0("aov.ms:", t), a[t, "Mean Sq"])
      if (t != "Residuals") {
        add(cs$case, paste0("aov.f:", t), a[t, "F value"])
        add(cs$case, paste0("aov.p:", t), a[t, "Pr(>F)"])
      }
    }
    if (!is.null(s$fstatistic)) {
      add(cs$case, "fstat", s$fstatistic[["value"]])
      add(cs$case, "fstat.p", pf(s$fstatistic[["value"]], s$fstatistic[["numdf"]],
                                 s$fstatistic[["dendf"]], lower.tail = FALSE))
    }
  }
}
writeData(do.call(rbind, rows), "summary_ref.csv", na = "NaN")
