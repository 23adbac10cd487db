# The model matrix columns R gives each formula: ncol(model.matrix(formula, data)).
# Written with R 4.2.2: Rscript tests/ref/kinds/coefficients.R (from the source directory).
mtcars_csv <- read.csv("examples/mtcars.csv")
iris_csv <- read.csv("examples/iris.csv", stringsAsFactors = TRUE)
cases <- list(
  list("examples/mtcars.csv", mtcars_csv, "mpg ~ wt + hp"),
  list("examples/mtcars.csv", mtcars_csv, "mpg ~ wt * hp"),
  list("examples/mtcars.csv", mtcars_csv, "mpg ~ . - model"),
  list("examples/mtcars.csv", mtcars_csv, "mpg ~ wt - 1"),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ Species"),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ Species - 1"),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ Petal.Width * Species"),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ Petal.Width:Species"),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ ."),
  list("examples/iris.csv", iris_csv, "Sepal.Length ~ Petal.Width * Species - 1"))
out <- file("tests/ref/kinds/coefficients.csv", "w")
writeLines(paste("# R", getRversion(), "ncol(model.matrix(formula, data))"), out)
writeLines("data,formula,coefficients", out)
for (c in cases)
  writeLines(paste(c[[1]], c[[3]], ncol(model.matrix(as.formula(c[[3]]), c[[2]])), sep = ","), out)
close(out)
