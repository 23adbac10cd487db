# Reference predictions of the regression scoring tests (QMXProcGLMFitTest): a Gaussian
# identity, a binomial logit and a Poisson log model of x + f fitted by R on `train` (which the
# tests fit with the regression procs), and predict(type = "link") and
# predict(type = "response") on the rows of `score`. The binomial event is ev == "yes".
# Run: Rscript glm_score.R (writes glm_score_train.csv, glm_score_data.csv, glm_score_pred.csv)
header <- paste0("# ", R.version.string)
train <- data.frame(
  x = c(0.3, 1.1, 1.9, 2.4, 3.0, 3.7, 4.2, 4.9, 5.5, 6.1, 0.8, 1.6, 2.2, 2.9, 3.3, 4.0, 4.6,
        5.2, 5.8, 6.6),
  f = factor(c("a", "b", "c", "a", "b", "c", "a", "b", "c", "a", "b", "c", "a", "b", "c", "a",
               "b", "c", "a", "b"), levels = c("a", "b", "c")),
  y = c(2.1, 3.9, 3.2, 6.8, 7.7, 6.1, 10.4, 11.0, 9.3, 14.2, 3.0, 2.6, 6.2, 7.9, 5.8, 9.6, 11.5,
        8.9, 13.1, 14.8),
  count = c(1, 2, 0, 3, 4, 2, 6, 5, 3, 9, 1, 1, 3, 4, 2, 5, 8, 4, 8, 11),
  ev = factor(c("no", "no", "no", "yes", "no", "no", "yes", "yes", "no", "yes", "yes", "no",
                "no", "yes", "no", "yes", "yes", "yes", "yes", "no"), levels = c("yes", "no")))

# New data: row 3 misses x, row 5 holds a level the model does not know.
score <- data.frame(
  row = 0:7,
  x = c(0.0, 1.5, NA, 3.4, 2.0, 5.1, 7.0, 4.4),
  f = c("a", "b", "c", "c", "d", "a", "b", "c"),
  y = c(1.5, 4.1, 5.0, 6.6, 4.0, 11.9, 16.0, 8.2),
  count = c(0, 2, 1, 3, 2, 7, 10, 4),
  ev = c("no", "yes", "no", "no", "yes", "yes", "yes", "no"))

fits <- list(
  gaussian = glm(y ~ x + f, family = gaussian(), data = train),
  binomial = glm(I(ev == "yes") ~ x + f, family = binomial(), data = train),
  poisson = glm(count ~ x + f, family = poisson(), data = train))

known <- !is.na(score$x) & score$f %in% levels(train$f)
newdata <- score[known, ]
newdata$f <- factor(newdata$f, levels = levels(train$f))

fmt <- function(v) ifelse(is.na(v), "NaN", trimws(formatC(v, digits = 17, format = "g")))
predLines <- c(header, "model,row,eta,mu")
for (model in names(fits)) {
  eta <- rep(NA_real_, nrow(score))
  mu <- rep(NA_real_, nrow(score))
  eta[known] <- predict(fits[[model]], newdata = newdata, type = "link")
  mu[known] <- predict(fits[[model]], newdata = newdata, type = "response")
  predLines <- c(predLines, paste(model, score$row, fmt(eta), fmt(mu), sep = ","))
}
dataLines <- c(header, "row,x,f,y,count,ev",
               paste(score$row, fmt(score$x), score$f, fmt(score$y), fmt(score$count), score$ev,
                     sep = ","))
trainLines <- c(header, "# The training data `train` of glm_score.R (ev as 1 for \"yes\"); written by glm_score.R",
                "x,f,y,count,ev",
                paste(train$x, train$f, train$y, train$count, as.integer(train$ev == "yes"), sep = ","))
writeLines(trainLines, "glm_score_train.csv")
writeLines(predLines, "glm_score_pred.csv")
writeLines(dataLines, "glm_score_data.csv")
