# Reference scores of the qmx score tests (ScoreCommandTest), run from the repository root:
#   Rscript tests/ref/tools/score_mtcars.R
# score_mtcars.csv: predict(type = "response") of lm(mpg ~ wt + hp) and of
#   glm(am ~ wt, binomial) fitted on examples/mtcars.csv, for every row of that file.
# Both glm fits run to full convergence (epsilon 1e-14), as the test fits with qmx fit --epsilon 1e-13.
# score_cars.csv: a data file derived from mtcars with a two-level factor response `trans`
#   (automatic/manual) and missing predictors (wt in rows 3 and 11, hp in row 20);
#   score_cars_pred.csv: predict(type = "response") of lm(mpg ~ wt + hp) and of
#   glm(trans ~ wt, binomial) fitted on score_cars.csv (R leaves the incomplete rows out of
#   the fit and predicts NA for them). glm models the probability of the second level, manual.
header <- paste0("# ", R.version.string)
fmt <- function(v) ifelse(is.na(v), "NA", trimws(formatC(v, digits = 17, format = "g")))

d <- read.csv("examples/mtcars.csv")
lmFit <- lm(mpg ~ wt + hp, data = d)
glmFit <- glm(am ~ wt, family = binomial(), data = d, control = glm.control(epsilon = 1e-14, maxit = 100))
writeLines(c(paste0(header, "; lm(mpg ~ wt + hp), glm(am ~ wt, binomial) on examples/mtcars.csv"),
             "model,lm,glm",
             paste(d$model, fmt(predict(lmFit, d, type = "response")),
                   fmt(predict(glmFit, d, type = "response")), sep = ",")),
           "tests/ref/tools/score_mtcars.csv")

cars <- data.frame(model = d$model, mpg = d$mpg, wt = d$wt, hp = d$hp,
                   trans = ifelse(d$am == 1, "manual", "automatic"))
cars$wt[c(3, 11)] <- NA
cars$hp[20] <- NA
write.csv(cars, "tests/ref/tools/score_cars.csv", row.names = FALSE, na = "")
cars <- read.csv("tests/ref/tools/score_cars.csv", stringsAsFactors = TRUE)
lmCars <- lm(mpg ~ wt + hp, data = cars)
glmCars <- glm(trans ~ wt, family = binomial(), data = cars, control = glm.control(epsilon = 1e-14, maxit = 100))
writeLines(c(paste0(header, "; lm(mpg ~ wt + hp), glm(trans ~ wt, binomial) on score_cars.csv;",
                    " glm = P(trans == manual)"),
             "model,lm,glm",
             paste(cars$model, fmt(predict(lmCars, cars, type = "response")),
                   fmt(predict(glmCars, cars, type = "response")), sep = ",")),
           "tests/ref/tools/score_cars_pred.csv")
