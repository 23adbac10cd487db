/*
 * main.c: scores a comma-separated data file with the $$model model kept in "model.txt".
 *
 * Usage: score <data.csv> [model file]
 * The data file opens with a line of column names; the model's metadata decides which columns
 * are read as factors. The scores go to standard output as comma-separated text (a header of
 * score names, then one line per data row, NA where an input is missing); any failure prints a
 * message to standard error and exits with a non-zero status.
 */
#include <stdio.h>
#include <string.h>

#include "VT$$model.h"
#include "VTObjects.h"

/* A kind whose program writes other scores than its predict (k-means: the cluster and the
 * distance, as qmx score) names its scoring function in its header. */
#ifdef VT$$model_PACKAGE_SCORE
#define VT_PACKAGE_SCORE VT$$model_PACKAGE_SCORE
#else
#define VT_PACKAGE_SCORE Telvar$$modelModel_predict
#endif

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: %s <data.csv> [model file]\n", argv[0]);
    return 2;
  }
  const char* modelFile = argc == 3 ? argv[2] : "model.txt";
  TelvarObject model, data, scores;
  memset(&model, 0, sizeof(model));
  memset(&data, 0, sizeof(data));
  memset(&scores, 0, sizeof(scores));
  int exitCode = 1;
  int status = TelvarObject_createFromFile(&model, modelFile);
  if (status != TELVAR_OK) {
    fprintf(stderr, "cannot read the model file %s: %s\n", modelFile, Telvar_statusText(status));
  } else if ((status = TelvarDataSet_createWithModel(&model, &data, argv[1])) != TELVAR_OK) {
    fprintf(stderr, "cannot read the data file %s: %s\n", argv[1], Telvar_statusText(status));
  } else if ((status = VT_PACKAGE_SCORE(&scores, &data, NULL, &model)) != TELVAR_OK) {
    fprintf(stderr, "cannot score %s: %s\n", argv[1], Telvar_statusText(status));
  } else if (TelvarDataSet_writeCsv(stdout, &scores) != TELVAR_OK) {
    fprintf(stderr, "cannot write the scores\n");
  } else {
    exitCode = 0;
  }
  TelvarObject_destroy(&scores);
  TelvarObject_destroy(&data);
  TelvarObject_destroy(&model);
  return exitCode;
}
