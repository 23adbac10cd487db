/*
 * VTStreamFuzz.c: libFuzzer target for the scoring library's text stream reader. The input is
 * read as a stream file (version block, then one object) and, independently, as a bare object;
 * an object read back is validated, written again and released. Lines longer than the 256-byte
 * buffers and hostile lengths must never overflow or exhaust memory.
 */
#define _POSIX_C_SOURCE 200809L

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vtcsrc/VTObjects.h"

#ifndef VT_FUZZ_ENTRY
#define VT_FUZZ_ENTRY LLVMFuzzerTestOneInput
#endif

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size);

static void readOne(char* text, size_t size, int withVersion) {
  FILE* stream = fmemopen(text, size, "r");
  if (stream == NULL) return;
  TelvarObject obj;
  memset(&obj, 0, sizeof(obj));
  if (!withVersion || TelvarVersion_readFromStreamAndValidate(stream) == TELVAR_OK) {
    if (TelvarObject_createFromStream(&obj, stream) == TELVAR_OK) {
      if (!TelvarObject_isValid(&obj)) abort();
      FILE* sink = fopen("/dev/null", "w");
      if (sink != NULL) {
        if (TelvarObject_writeToStream(sink, &obj) != TELVAR_OK) abort();
        fclose(sink);
      }
    }
  }
  TelvarObject_destroy(&obj);
  fclose(stream);
}

int VT_FUZZ_ENTRY(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  char* text = malloc(size);
  if (text == NULL) return 0;
  memcpy(text, data, size);
  readOne(text, size, 1);
  readOne(text, size, 0);
  free(text);
  return 0;
}
