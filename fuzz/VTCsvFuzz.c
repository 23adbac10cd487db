/*
 * VTCsvFuzz.c: libFuzzer target for the scoring library's comma-separated reader. The input is
 * written to a per-process temporary file and read with TelvarDataSet_createFromTextFile and
 * with TelvarDataSet_createWithModel against a small model; quoted fields, line ends of every
 * kind and the 256-byte text slots must never overflow.
 */
#define _POSIX_C_SOURCE 200809L

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "vtcsrc/VTObjects.h"

#ifndef VT_FUZZ_ENTRY
#define VT_FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size);

/* Metadata of a numeric "x" and a factor "g" (levels a, b). */
static void buildMetaData(TelvarObject* md) {
  const char* names[] = {"x", "g"};
  const int nLevels[] = {0, 2};
  const char* gLevels[] = {"a", "b"};
  const char* const* levels[] = {NULL, gLevels};
  const int nCols[] = {1, 1};
  const char* const* cols[] = {names, names + 1};
  TelvarObject info, terms;
  memset(&info, 0, sizeof(info));
  memset(&terms, 0, sizeof(terms));
  TelvarMetaData_createInputDescription(&info, 2, names, nLevels, levels, NULL);
  TelvarMetaData_createTerms(&terms, 2, names, nCols, cols);
  TelvarMetaData_create(md, &info, &terms);
  TelvarObject_destroy(&info);
  TelvarObject_destroy(&terms);
}

static void checkDataSet(TelvarObject* ds, const TelvarObject* md) {
  if (!TelvarDataSet_isValid(ds)) abort();
  TelvarObject converted;
  memset(&converted, 0, sizeof(converted));
  TelvarMetaData_InputConvert(&converted, md, ds, NULL);
  TelvarObject_destroy(&converted);
}

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size) {
  char path[64];
  snprintf(path, sizeof(path), "/tmp/vtcsv-fuzz-%ld.csv", (long)getpid());
  FILE* file = fopen(path, "wb");
  if (file == NULL) return 0;
  fwrite(data, 1, size, file);
  fclose(file);

  TelvarObject md, ds;
  memset(&md, 0, sizeof(md));
  memset(&ds, 0, sizeof(ds));
  buildMetaData(&md);
  if (TelvarDataSet_createFromTextFile(&ds, path) == TELVAR_OK) checkDataSet(&ds, &md);
  TelvarObject_destroy(&ds);
  if (TelvarDataSet_createWithModel(&md, &ds, path) == TELVAR_OK) checkDataSet(&ds, &md);
  TelvarObject_destroy(&ds);
  TelvarObject_destroy(&md);
  remove(path);
  return 0;
}
