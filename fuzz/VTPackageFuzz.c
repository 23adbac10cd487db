/*
 * VTPackageFuzz.c: libFuzzer target for the reading path of a C scoring package's program. The
 * input is the data file: TelvarDataSet_createWithModel reads it for a linear model with a log
 * link over a numeric "x" and a factor "g" (levels "a" and "b c", interaction x:g), the model
 * scores it and TelvarDataSet_writeCsv writes the scores, as main.c does.
 */
#define _POSIX_C_SOURCE 200809L

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTObjects.h"

#ifndef VT_FUZZ_ENTRY
#define VT_FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size);

static void buildModel(TelvarObject* model) {
  const char* names[] = {"x", "g"};
  const int nLevels[] = {0, 2};
  const char* gLevels[] = {"a", "b c"};
  const char* const* levels[] = {NULL, gLevels};
  const char* termNames[] = {"x", "g", "x:g"};
  const int nCols[] = {1, 2, 3};
  const char* gTerm[] = {"g", "g"};
  const char* interaction[] = {"x", "g", "g"};
  const char* const* cols[] = {names, gTerm, interaction};
  const int32_t gSplits[] = {0, 1};
  const int32_t* splits[] = {NULL, gSplits};
  const double coef[] = {0.5, -1.25, 2.0, 1e-3, 3.5, -7.0};
  TelvarObject info, terms, md;
  memset(&info, 0, sizeof(info));
  memset(&terms, 0, sizeof(terms));
  memset(&md, 0, sizeof(md));
  TelvarMetaData_createInputDescription(&info, 2, names, nLevels, levels, splits);
  TelvarMetaData_createTerms(&terms, 3, termNames, nCols, cols);
  TelvarMetaData_create(&md, &info, &terms);
  int width = 0;
  Telvar_designWidth(&width, &md);
  if (width + 1 != (int)(sizeof(coef) / sizeof(coef[0]))) abort();
  if (TelvarLinearRegressionModel_createWithLink(model, &md, width + 1, coef, "log") != 1) abort();
  TelvarObject_destroy(&info);
  TelvarObject_destroy(&terms);
  TelvarObject_destroy(&md);
}

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size) {
  char path[64];
  snprintf(path, sizeof(path), "/tmp/vtpackage-fuzz-%ld.csv", (long)getpid());
  FILE* file = fopen(path, "wb");
  if (file == NULL) return 0;
  fwrite(data, 1, size, file);
  fclose(file);

  TelvarObject model, ds, scores;
  memset(&model, 0, sizeof(model));
  memset(&ds, 0, sizeof(ds));
  memset(&scores, 0, sizeof(scores));
  buildModel(&model);
  FILE* sink = fopen("/dev/null", "w");
  if (TelvarDataSet_createWithModel(&model, &ds, path) == TELVAR_OK &&
      TelvarLinearRegressionModel_predict(&scores, &ds, NULL, &model) == TELVAR_OK &&
      sink != NULL && TelvarDataSet_writeCsv(sink, &scores) != TELVAR_OK) {
    abort();
  }
  if (sink != NULL) fclose(sink);
  TelvarObject_destroy(&scores);
  TelvarObject_destroy(&ds);
  TelvarObject_destroy(&model);
  remove(path);
  return 0;
}
