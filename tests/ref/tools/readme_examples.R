# R's printed output of the R blocks of README.md's section "Side by side with R", which the
# qmx output shown beside them must equal (tests/tools/cases/readme_examples.tsv) once qmx's
# own "Rows used" lines are left out. R's print of a kmeans object also lists the clustering
# vector and the object's components; those lines are left out here.
# Run from the repository root:  Rscript tests/ref/tools/readme_examples.R
options(useFancyQuotes = FALSE)
readme <- readLines("README.md")
section <- readme[seq(which(readme == "<!-- readme-examples begin -->"),
                      which(readme == "<!-- readme-examples end -->"))]
starts <- which(section == "```r")
ends <- which(section == "```")
shown <- unlist(lapply(starts, function(start) {
  code <- section[(start + 1):(min(ends[ends > start]) - 1)]
  capture.output(source(textConnection(code), print.eval = TRUE, echo = FALSE))
}))
drop <- function(text, from, to) {
  first <- grep(from, text)
  if (length(first) == 0) return(text)
  last <- if (is.null(to)) length(text) else first + which(text[-(1:first)] == to)[1]
  text[-(first:last)]
}
shown <- drop(shown, "^Clustering vector:$", "")
shown <- drop(shown, "^Available components:$", NULL)
writeLines(c(paste("#", R.version.string), shown), "tests/ref/tools/readme_examples.txt")
