# Regenerates the bundled example data sets from R's datasets package:
#   Rscript examples/make_examples.R        (run from the repository root)
# mtcars.csv: the car names become a first column `model`; cyl, am and the other
# columns stay numeric. mtcars_cyl.csv: the same with cyl as text ("c4", "c6", "c8"), so that
# it reads as a factor (the README's side-by-side lm). iris.csv: Species is a text column, read
# as a factor.
out <- if (dir.exists("examples")) "examples" else "."
cars <- data.frame(model = rownames(datasets::mtcars), datasets::mtcars,
                   stringsAsFactors = FALSE)
cars$cyl <- as.numeric(cars$cyl)
cars$am <- as.numeric(cars$am)
write.csv(cars, file.path(out, "mtcars.csv"), row.names = FALSE)
cars_cyl <- cars
cars_cyl$cyl <- paste0("c", cars$cyl)
write.csv(cars_cyl, file.path(out, "mtcars_cyl.csv"), row.names = FALSE)
write.csv(datasets::iris, file.path(out, "iris.csv"), row.names = FALSE)
