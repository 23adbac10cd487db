/*
 * main.c: scores a comma-separated data file with the $$model model kept in "model.txt".
 *
 * Usage: score <data.csv> [model file]
 * The data file opens with a line of column names; the model's metadata decides which columns
 * are read as factors. The scores go to standard output as comma-separated text (a header of
 * score names, then one line per data row); any failure prints a message to standard error and
 * exits with a non-zero status.
 */
#include <stdio.h>
#include <string.h>

#include "VT$$model.h"
#include "VTObjects.h"

/* Writes a data set of long and double columns as comma-separated text. */
static int writeScores(const TelvarObject* scores) {
  int nrow = 0, ncol = 0;
  TelvarObject names;
  memset(&names, 0, sizeof(names));
  if (TelvarDataSet_getNRows(&nrow, scores) != TELVAR_OK ||
      TelvarDataSet_getNColumns(&ncol, scores) != TELVAR_OK ||
      TelvarDataSet_getColumnNames(&names, scores) != TELVAR_OK) {
    return TELVAR_INVALID;
  }
  char name[TELVAR_STRING_SLOT];
  for (int c = 0; c < ncol; ++c) {
    if (TelvarVector_getStringAt(name, (int)sizeof(name), &names, c) != TELVAR_OK) name[0] = 0;
    printf(c > 0 ? ",%s" : "%s", name);
  }
  printf("\n");
  TelvarObject_destroy(&names);
  for (int r = 0; r < nrow; ++r) {
    for (int c = 0; c < ncol; ++c) {
      int mode = 0;
      TelvarDataSet_getColumnMode(&mode, scores, c);
      double value = TelvarDataSet_getNonStringValue(scores, c, r);
      if (c > 0) printf(",");
      if (mode == TELVAR_LONG) {
        printf("%d", (int)value);
      } else {
        printf("%.17g", value);
      }
    }
    printf("\n");
  }
  return fflush(stdout) == 0 ? TELVAR_OK : TELVAR_INVALID;
}

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
  } else if ((status = Telvar$$modelModel_predict(&scores, &data, NULL, &model)) != TELVAR_OK) {
    fprintf(stderr, "cannot score %s: %s\n", argv[1], Telvar_statusText(status));
  } else if (writeScores(&scores) != TELVAR_OK) {
    fprintf(stderr, "cannot write the scores\n");
  } else {
    exitCode = 0;
  }
  TelvarObject_destroy(&scores);
  TelvarObject_destroy(&data);
  TelvarObject_destroy(&model);
  return exitCode;
}
