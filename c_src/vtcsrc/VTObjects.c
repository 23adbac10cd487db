/*
 * VTObjects.c: tagged objects, text streams, the comma-separated reader and metadata
 * conversion of the standalone scoring library. Plain C11; see VTObjects.h for the contract.
 * This file travels unchanged into every C scoring package, so it stays a single source.
 */
#include "VTObjects.h"

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <math.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTObjects"
#define VT_HASH_BUCKETS 769
#define VT_STREAM_LINE 256
/* Nesting deeper than this in a stream is treated as malformed (keeps the reader's stack
 * bounded on hostile input). */
#define VT_MAX_DEPTH 64
#define VT_POLY_MAX_DEGREE 20
/* Boolean vectors carry no element text, so their stream length is capped outright. */
#define VT_MAX_BOOLEAN_LENGTH (1 << 24)
#define VT_MAX_UNSEEKABLE_LENGTH (1 << 26)

/* ===================================================================== messages */

int Telvar_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  return 1;
}

const char* Telvar_statusText(int status) {
  switch (status) {
    case TELVAR_WRONG_MODE:
      return "wrong mode or unusable input";
    case TELVAR_OK:
      return "success";
    case TELVAR_INVALID:
      return "invalid argument, object or stream";
    case TELVAR_NOMEM:
      return "storage was not obtained";
    default:
      return "unknown status";
  }
}

static const char* classOfMode(int mode) {
  switch (mode) {
    case TELVAR_NULL:
      return "null";
    case TELVAR_BOOLEAN:
    case TELVAR_LONG:
    case TELVAR_FLOAT:
    case TELVAR_DOUBLE:
    case TELVAR_STRING:
    case TELVAR_LIST:
      return "Vector";
    case TELVAR_FACTOR:
      return "Factor";
    case TELVAR_DOUBLE_MATRIX:
      return "Matrix";
    case TELVAR_MODEL_MATRIX:
      return "ModelMatrix";
    case TELVAR_DATA_SET:
      return "DataSet";
    default:
      return "unknown";
  }
}

int Telvar_getClassFromMode(char* buffer, int size, int mode) {
  const char* name = classOfMode(mode);
  if (buffer != NULL && size > 0) {
    snprintf(buffer, (size_t)size, "%s", name);
  }
  return (int)strlen(name);
}

/* ===================================================================== level hash */

typedef struct TelvarHashEntry {
  char* text;
  int code;
  struct TelvarHashEntry* next;
} TelvarHashEntry;

struct TelvarHash {
  TelvarHashEntry** buckets;
};

/* djb2 string hash (h = h * 33 + c from 5381) reduced modulo the bucket count. */
static unsigned hashText(const char* text) {
  unsigned long h = 5381;
  for (const unsigned char* p = (const unsigned char*)text; *p != '\0'; ++p) {
    h = h * 33 + *p;
  }
  return (unsigned)(h % VT_HASH_BUCKETS);
}

int TelvarHash_create(TelvarHash** hashOut) {
  if (hashOut == NULL) return TELVAR_INVALID;
  *hashOut = NULL;
  TelvarHash* hash = malloc(sizeof(TelvarHash));
  if (hash == NULL) {
    Telvar_error("Not enough memory for hash table.");
    return TELVAR_NOMEM;
  }
  hash->buckets = calloc(VT_HASH_BUCKETS, sizeof(TelvarHashEntry*));
  if (hash->buckets == NULL) {
    Telvar_error("Not enough memory for %d hash table capacity.", VT_HASH_BUCKETS);
    free(hash);
    return TELVAR_NOMEM;
  }
  *hashOut = hash;
  return TELVAR_OK;
}

int TelvarHash_find(int* codeOut, const TelvarHash* hash, const char* text) {
  if (hash == NULL || text == NULL) return 0;
  for (const TelvarHashEntry* e = hash->buckets[hashText(text)]; e != NULL; e = e->next) {
    if (strcmp(e->text, text) == 0) {
      if (codeOut != NULL) *codeOut = e->code;
      return 1;
    }
  }
  return 0;
}

int TelvarHash_insert(TelvarHash* hash, const char* text, int code) {
  if (hash == NULL || text == NULL) return TELVAR_INVALID;
  size_t n = strlen(text) + 1;
  char* copy = malloc(n);
  if (copy == NULL) {
    Telvar_error("Not enough memory for string duplication.");
    return TELVAR_NOMEM;
  }
  memcpy(copy, text, n);
  TelvarHashEntry* entry = malloc(sizeof(TelvarHashEntry));
  if (entry == NULL) {
    free(copy);
    Telvar_error("Not enough memory for hash entry.");
    return TELVAR_NOMEM;
  }
  unsigned bucket = hashText(text);
  entry->text = copy;
  entry->code = code;
  entry->next = hash->buckets[bucket];
  hash->buckets[bucket] = entry;
  return TELVAR_OK;
}

void TelvarHash_destroy(TelvarHash* hash) {
  if (hash == NULL) return;
  for (int b = 0; b < VT_HASH_BUCKETS; ++b) {
    TelvarHashEntry* e = hash->buckets[b];
    while (e != NULL) {
      TelvarHashEntry* next = e->next;
      free(e->text);
      free(e);
      e = next;
    }
  }
  free(hash->buckets);
  free(hash);
}

/* ===================================================================== objects */

static int isVectorMode(int mode) {
  return mode >= TELVAR_BOOLEAN && mode <= TELVAR_STRING;
}

static int isListMode(int mode) {
  return mode == TELVAR_LIST || mode == TELVAR_FACTOR || mode == TELVAR_DOUBLE_MATRIX ||
         mode == TELVAR_MODEL_MATRIX || mode == TELVAR_DATA_SET || mode == TELVAR_META_DATA;
}

static size_t elementSize(int mode) {
  switch (mode) {
    case TELVAR_BOOLEAN:
    case TELVAR_LONG:
      return sizeof(int32_t);
    case TELVAR_FLOAT:
      return sizeof(float);
    case TELVAR_DOUBLE:
      return sizeof(double);
    default:
      return sizeof(void*);
  }
}

static const char* allocClassName(int mode) {
  if (mode == TELVAR_LIST || mode == TELVAR_META_DATA) return "List";
  return classOfMode(mode);
}

/* Copies at most size - 1 characters of text into buffer and ends it with a NUL. */
static void copyBounded(char* buffer, size_t size, const char* text) {
  size_t n = 0;
  while (text != NULL && n + 1 < size && text[n] != '\0') {
    buffer[n] = text[n];
    ++n;
  }
  buffer[n] = '\0';
}

static void setClassName(TelvarObject* obj, const char* name) {
  copyBounded(obj->className, sizeof(obj->className), name);
}

static TelvarObject** slots(const TelvarObject* list) {
  return (TelvarObject**)list->data;
}
static char** texts(const TelvarObject* vec) {
  return (char**)vec->data;
}

static void copyText(char* slot, const char* text) {
  copyBounded(slot, TELVAR_STRING_SLOT, text);
}

int TelvarObject_alloc(TelvarObject* obj, int n, int mode) {
  if (obj == NULL || (mode != TELVAR_NULL && !isVectorMode(mode) && !isListMode(mode))) {
    return TELVAR_INVALID;
  }
  obj->mode = mode;
  obj->length = 0;
  obj->data = NULL;
  setClassName(obj, allocClassName(mode));
  if (n < 1 || mode == TELVAR_NULL) return TELVAR_OK;
  size_t count = (size_t)n;
  if (isVectorMode(mode) && mode != TELVAR_STRING) {
    obj->data = calloc(count, elementSize(mode));
    if (obj->data == NULL) return TELVAR_NOMEM;
  } else if (mode == TELVAR_STRING) {
    char** ptrs = calloc(count, sizeof(char*));
    char* block = calloc(count, TELVAR_STRING_SLOT);
    if (ptrs == NULL || block == NULL) {
      free(ptrs);
      free(block);
      return TELVAR_NOMEM;
    }
    for (size_t i = 0; i < count; ++i)
      ptrs[i] = block + i * TELVAR_STRING_SLOT;
    obj->data = ptrs;
  } else {
    TelvarObject** ptrs = calloc(count + 1, sizeof(TelvarObject*));
    TelvarObject* block = calloc(count + 1, sizeof(TelvarObject));
    if (ptrs == NULL || block == NULL) {
      free(ptrs);
      free(block);
      return TELVAR_NOMEM;
    }
    for (size_t i = 0; i <= count; ++i)
      ptrs[i] = block + i;
    obj->data = ptrs;
  }
  obj->length = n;
  return TELVAR_OK;
}

int TelvarObject_isEmpty(const TelvarObject* obj) {
  if (obj == NULL) return 0;
  return obj->length == 0 && obj->data == NULL;
}

static int isMetaDataShape(const TelvarObject* obj);

int TelvarObject_isValid(const TelvarObject* obj) {
  if (obj == NULL) return 0;
  switch (obj->mode) {
    case TELVAR_NULL:
      return obj->length == 0 && obj->data == NULL;
    case TELVAR_LIST:
      return TelvarList_isValid(obj);
    case TELVAR_FACTOR:
      return TelvarFactor_isValid(obj);
    case TELVAR_DOUBLE_MATRIX:
      return TelvarDoubleMatrix_isValid(obj);
    case TELVAR_MODEL_MATRIX:
      return TelvarModelMatrix_isValid(obj);
    case TELVAR_DATA_SET:
      return TelvarDataSet_isValid(obj);
    case TELVAR_META_DATA:
      return isMetaDataShape(obj) ? TelvarMetaData_isValid(obj) : TelvarList_isValid(obj);
    default:
      return TelvarVector_isValid(obj);
  }
}

/* Releases storage without validity checks (works on partly built objects). */
static void releaseObject(TelvarObject* obj) {
  if (obj == NULL) return;
  if (obj->data != NULL) {
    if (isListMode(obj->mode)) {
      TelvarObject** ptrs = slots(obj);
      for (int32_t i = 0; i <= obj->length; ++i)
        releaseObject(ptrs[i]);
      free(ptrs[0]);
    } else if (obj->mode == TELVAR_STRING) {
      free(texts(obj)[0]);
    }
    free(obj->data);
  }
  memset(obj, 0, sizeof(TelvarObject));
}

int TelvarObject_destroy(TelvarObject* obj) {
  releaseObject(obj);
  return TELVAR_OK;
}

static int cloneObject(TelvarObject* dest, const TelvarObject* src) {
  if (TelvarObject_isEmpty(src) || src->mode == TELVAR_NULL) {
    *dest = *src;
    dest->data = NULL;
    dest->length = 0;
    return TELVAR_OK;
  }
  int status = TelvarObject_alloc(dest, src->length, src->mode);
  if (status != TELVAR_OK) return status;
  memcpy(dest->className, src->className, sizeof(dest->className));
  if (src->mode == TELVAR_STRING) {
    for (int32_t i = 0; i < src->length; ++i)
      copyText(texts(dest)[i], texts(src)[i]);
  } else if (isVectorMode(src->mode)) {
    memcpy(dest->data, src->data, (size_t)src->length * elementSize(src->mode));
  } else {
    for (int32_t i = 0; i <= src->length; ++i) {
      status = cloneObject(slots(dest)[i], slots(src)[i]);
      if (status != TELVAR_OK) return status;
    }
  }
  return TELVAR_OK;
}

int TelvarObject_clone(TelvarObject* dest, const TelvarObject* src) {
  if (dest == NULL || src == NULL) return TELVAR_INVALID;
  if (!TelvarObject_isEmpty(src) && !TelvarObject_isValid(src)) return TELVAR_INVALID;
  return cloneObject(dest, src);
}

int TelvarObject_getMode(int* modeOut, const TelvarObject* obj) {
  if (modeOut == NULL) return TELVAR_INVALID;
  if (obj == NULL || (obj->mode == TELVAR_NULL && TelvarObject_isEmpty(obj))) {
    *modeOut = -1;
    return TELVAR_INVALID;
  }
  *modeOut = obj->mode;
  return TELVAR_OK;
}

int TelvarObject_print(const TelvarObject* obj) {
  if (obj == NULL) return TELVAR_INVALID;
  switch (obj->mode) {
    case TELVAR_NULL:
      printf("NULL\n");
      return TELVAR_OK;
    case TELVAR_FACTOR:
      return TelvarFactor_print(obj);
    case TELVAR_DOUBLE_MATRIX:
      return TelvarDoubleMatrix_print(obj);
    case TELVAR_MODEL_MATRIX:
      return TelvarModelMatrix_print(obj);
    case TELVAR_DATA_SET:
      return TelvarDataSet_print(obj);
    case TELVAR_META_DATA:
      return isMetaDataShape(obj) ? TelvarMetaData_print(obj) : TelvarList_print(obj);
    case TELVAR_LIST:
      return TelvarList_print(obj);
    default:
      return TelvarVector_print(obj);
  }
}

/* ===================================================================== vectors */

int TelvarVector_create(TelvarObject* vec, int length, int mode, const void* values) {
  if (vec == NULL || !isVectorMode(mode)) return TELVAR_INVALID;
  int status = TelvarObject_alloc(vec, length, mode);
  if (status != TELVAR_OK || values == NULL || vec->length == 0) return status;
  if (mode == TELVAR_STRING) {
    const char* const* src = (const char* const*)values;
    for (int i = 0; i < length; ++i)
      copyText(texts(vec)[i], src[i]);
  } else {
    memcpy(vec->data, values, (size_t)length * elementSize(mode));
  }
  return TELVAR_OK;
}

int TelvarVector_isValid(const TelvarObject* vec) {
  if (vec == NULL || !isVectorMode(vec->mode) || vec->length < 0) return 0;
  if (vec->length == 0) return vec->data == NULL;
  return vec->data != NULL;
}

int TelvarVector_isBoolean(const TelvarObject* v) {
  return TelvarVector_isValid(v) && v->mode == TELVAR_BOOLEAN;
}
int TelvarVector_isLong(const TelvarObject* v) {
  return TelvarVector_isValid(v) && v->mode == TELVAR_LONG;
}
int TelvarVector_isFloat(const TelvarObject* v) {
  return TelvarVector_isValid(v) && v->mode == TELVAR_FLOAT;
}
int TelvarVector_isDouble(const TelvarObject* v) {
  return TelvarVector_isValid(v) && v->mode == TELVAR_DOUBLE;
}
int TelvarVector_isString(const TelvarObject* v) {
  return TelvarVector_isValid(v) && v->mode == TELVAR_STRING;
}

int TelvarVector_clone(TelvarObject* dest, const TelvarObject* src) {
  if (dest == NULL || !TelvarVector_isValid(src)) return TELVAR_INVALID;
  return cloneObject(dest, src);
}

int TelvarVector_destroy(TelvarObject* vec) {
  return TelvarObject_destroy(vec);
}

static void storeValue(TelvarObject* vec, int index, TelvarValue value) {
  switch (vec->mode) {
    case TELVAR_BOOLEAN:
    case TELVAR_LONG:
      ((int32_t*)vec->data)[index] = value.l;
      break;
    case TELVAR_FLOAT:
      ((float*)vec->data)[index] = value.f;
      break;
    case TELVAR_DOUBLE:
      ((double*)vec->data)[index] = value.d;
      break;
    default:
      copyText(texts(vec)[index], value.s);
      break;
  }
}

int TelvarVector_add(TelvarObject* vec, TelvarValue value) {
  if (!TelvarVector_isValid(vec) || vec->length == INT32_MAX) return TELVAR_INVALID;
  TelvarObject grown;
  int status = TelvarObject_alloc(&grown, vec->length + 1, vec->mode);
  if (status != TELVAR_OK) {
    releaseObject(&grown);
    return status;
  }
  if (vec->mode == TELVAR_STRING) {
    for (int32_t i = 0; i < vec->length; ++i)
      copyText(texts(&grown)[i], texts(vec)[i]);
  } else if (vec->length > 0) {
    memcpy(grown.data, vec->data, (size_t)vec->length * elementSize(vec->mode));
  }
  storeValue(&grown, vec->length, value);
  memcpy(grown.className, vec->className, sizeof(grown.className));
  releaseObject(vec);
  *vec = grown;
  return TELVAR_OK;
}

int TelvarVector_addLong(TelvarObject* vec, int32_t value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_LONG && vec->mode != TELVAR_BOOLEAN) return TELVAR_WRONG_MODE;
  TelvarValue v = {.l = value};
  return TelvarVector_add(vec, v);
}

int TelvarVector_addDouble(TelvarObject* vec, double value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_DOUBLE) return TELVAR_WRONG_MODE;
  TelvarValue v = {.d = value};
  return TelvarVector_add(vec, v);
}

int TelvarVector_addString(TelvarObject* vec, const char* value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_STRING) return TELVAR_WRONG_MODE;
  TelvarValue v = {.s = value};
  return TelvarVector_add(vec, v);
}

int TelvarVector_getAt(TelvarValue* valueOut, const TelvarObject* vec, int index) {
  if (valueOut == NULL || !TelvarVector_isValid(vec) || index < 0 || index >= vec->length) {
    return TELVAR_INVALID;
  }
  switch (vec->mode) {
    case TELVAR_BOOLEAN:
    case TELVAR_LONG:
      valueOut->l = ((const int32_t*)vec->data)[index];
      break;
    case TELVAR_FLOAT:
      valueOut->f = ((const float*)vec->data)[index];
      break;
    case TELVAR_DOUBLE:
      valueOut->d = ((const double*)vec->data)[index];
      break;
    default:
      valueOut->s = texts(vec)[index];
      break;
  }
  return TELVAR_OK;
}

int TelvarVector_getLongAt(int32_t* valueOut, const TelvarObject* vec, int index) {
  if (valueOut == NULL || !TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_LONG && vec->mode != TELVAR_BOOLEAN) return TELVAR_WRONG_MODE;
  if (index < 0 || index >= vec->length) return TELVAR_INVALID;
  *valueOut = ((const int32_t*)vec->data)[index];
  return TELVAR_OK;
}

int TelvarVector_getDoubleAt(double* valueOut, const TelvarObject* vec, int index) {
  if (valueOut == NULL || !TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_DOUBLE) return TELVAR_WRONG_MODE;
  if (index < 0 || index >= vec->length) return TELVAR_INVALID;
  *valueOut = ((const double*)vec->data)[index];
  return TELVAR_OK;
}

int TelvarVector_getStringAt(char* buffer, int size, const TelvarObject* vec, int index) {
  if (buffer == NULL || size < 1 || !TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_STRING) return TELVAR_WRONG_MODE;
  if (index < 0 || index >= vec->length) return TELVAR_INVALID;
  const char* text = texts(vec)[index];
  if (strlen(text) >= (size_t)size) return TELVAR_WRONG_MODE;
  memcpy(buffer, text, strlen(text) + 1);
  return TELVAR_OK;
}

int TelvarVector_setAt(TelvarObject* vec, int index, TelvarValue value) {
  if (!TelvarVector_isValid(vec) || index < 0 || index > vec->length) return TELVAR_INVALID;
  if (index == vec->length) return TelvarVector_add(vec, value);
  storeValue(vec, index, value);
  return TELVAR_OK;
}

int TelvarVector_setLongAt(TelvarObject* vec, int index, int32_t value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_LONG && vec->mode != TELVAR_BOOLEAN) return TELVAR_WRONG_MODE;
  TelvarValue v = {.l = value};
  return TelvarVector_setAt(vec, index, v);
}

int TelvarVector_setDoubleAt(TelvarObject* vec, int index, double value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_DOUBLE) return TELVAR_WRONG_MODE;
  TelvarValue v = {.d = value};
  return TelvarVector_setAt(vec, index, v);
}

int TelvarVector_setStringAt(TelvarObject* vec, int index, const char* value) {
  if (!TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (vec->mode != TELVAR_STRING) return TELVAR_WRONG_MODE;
  TelvarValue v = {.s = value};
  return TelvarVector_setAt(vec, index, v);
}

int TelvarVector_getAsStringAt(char* buffer, int size, const TelvarObject* vec, int index) {
  if (buffer == NULL || size < 1 || !TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if (index < 0 || index >= vec->length) return TELVAR_INVALID;
  int n;
  switch (vec->mode) {
    case TELVAR_BOOLEAN:
      n = snprintf(buffer, (size_t)size, "%s",
                   ((const int32_t*)vec->data)[index] ? "TRUE" : "FALSE");
      break;
    case TELVAR_LONG:
      n = snprintf(buffer, (size_t)size, "%d", (int)((const int32_t*)vec->data)[index]);
      break;
    case TELVAR_FLOAT:
      n = snprintf(buffer, (size_t)size, "%g", (double)((const float*)vec->data)[index]);
      break;
    case TELVAR_DOUBLE:
      n = snprintf(buffer, (size_t)size, "%g", ((const double*)vec->data)[index]);
      break;
    default:
      n = snprintf(buffer, (size_t)size, "%s", texts(vec)[index]);
      break;
  }
  return (n < 0 || n >= size) ? TELVAR_INVALID : TELVAR_OK;
}

int TelvarVector_printElement(const TelvarObject* vec, int index) {
  char buffer[TELVAR_STRING_SLOT + 64];
  if (!TelvarVector_isValid(vec) || index < 0 || index >= vec->length) {
    Telvar_error("bad vector pointer argument of TelvarVector_printElement\n");
    return TELVAR_INVALID;
  }
  if (TelvarVector_getAsStringAt(buffer, (int)sizeof(buffer), vec, index) != TELVAR_OK) {
    printf("NULL");
  } else {
    printf("%s", buffer);
  }
  return TELVAR_OK;
}

int TelvarVector_print(const TelvarObject* vec) {
  if (!TelvarVector_isValid(vec)) {
    Telvar_error("bad vector pointer argument of TelvarVector_printElement\n");
    return TELVAR_INVALID;
  }
  for (int32_t i = 0; i < vec->length; ++i) {
    if (i > 0) printf(", ");
    TelvarVector_printElement(vec, i);
  }
  printf("\n");
  return TELVAR_OK;
}

/* ===================================================================== lists */

int TelvarList_create(TelvarObject* list, int length, int mode) {
  if (list == NULL || !isListMode(mode)) return TELVAR_INVALID;
  int status = TelvarObject_alloc(list, length, mode);
  if (status != TELVAR_OK || list->length == 0) return status;
  return TelvarVector_create(slots(list)[list->length], list->length, TELVAR_STRING, NULL);
}

int TelvarList_isValid(const TelvarObject* list) {
  if (list == NULL || !isListMode(list->mode) || list->length < 0) return 0;
  if (list->length == 0) return list->data == NULL;
  if (list->data == NULL) return 0;
  const TelvarObject* names = slots(list)[list->length];
  if (!TelvarVector_isString(names) || names->length != list->length) return 0;
  for (int32_t i = 0; i < list->length; ++i) {
    if (!TelvarObject_isValid(slots(list)[i])) return 0;
  }
  return 1;
}

int TelvarList_clone(TelvarObject* dest, const TelvarObject* src) {
  if (dest == NULL || !TelvarList_isValid(src)) return TELVAR_INVALID;
  return cloneObject(dest, src);
}

int TelvarList_destroy(TelvarObject* list) {
  return TelvarObject_destroy(list);
}

int TelvarList_setNamesFromStrings(TelvarObject* list, const char* const* names) {
  if (!TelvarList_isValid(list) || names == NULL || list->length == 0) return TELVAR_INVALID;
  TelvarObject* slot = slots(list)[list->length];
  for (int32_t i = 0; i < list->length; ++i)
    copyText(texts(slot)[i], names[i]);
  return TELVAR_OK;
}

int TelvarList_setNames(TelvarObject* list, const TelvarObject* names) {
  if (!TelvarList_isValid(list) || !TelvarVector_isString(names) || names->length != list->length ||
      list->length == 0) {
    return TELVAR_INVALID;
  }
  return TelvarList_setNamesFromStrings(list, (const char* const*)names->data);
}

int TelvarList_getNames(TelvarObject* names, const TelvarObject* list) {
  if (names == NULL || !TelvarList_isValid(list)) return TELVAR_INVALID;
  if (list->length == 0) return TELVAR_WRONG_MODE;
  return cloneObject(names, slots(list)[list->length]);
}

int TelvarList_setNameAt(TelvarObject* list, int index, const char* text) {
  if (!TelvarList_isValid(list) || index < 0 || index >= list->length) return TELVAR_INVALID;
  copyText(texts(slots(list)[list->length])[index], text);
  return TELVAR_OK;
}

/* Grows list by one null element with an empty name (records move, storage is swapped). */
static int growList(TelvarObject* list) {
  int oldLength = list->length;
  TelvarObject grown;
  int status = TelvarObject_alloc(&grown, oldLength + 1, list->mode);
  if (status != TELVAR_OK) {
    releaseObject(&grown);
    return status;
  }
  TelvarObject names;
  memset(&names, 0, sizeof(names));
  status = TelvarVector_create(&names, oldLength + 1, TELVAR_STRING, NULL);
  if (status != TELVAR_OK) {
    releaseObject(&names);
    releaseObject(&grown);
    return status;
  }
  if (oldLength > 0) {
    TelvarObject* oldNames = slots(list)[oldLength];
    for (int i = 0; i < oldLength; ++i) {
      copyText(texts(&names)[i], texts(oldNames)[i]);
      *slots(&grown)[i] = *slots(list)[i];
    }
    releaseObject(oldNames);
    free(slots(list)[0]);
    free(list->data);
  }
  *slots(&grown)[oldLength + 1] = names;
  memcpy(grown.className, list->className, sizeof(grown.className));
  *list = grown;
  return TELVAR_OK;
}

int TelvarList_add(TelvarObject* list, const TelvarObject* obj, const char* name) {
  if (list == NULL || !TelvarObject_isValid(obj)) return TELVAR_INVALID;
  if (TelvarObject_isEmpty(list) && !isListMode(list->mode)) {
    TelvarObject_alloc(list, 0, TELVAR_LIST);
  }
  if (!TelvarList_isValid(list) || list->length == INT32_MAX) return TELVAR_INVALID;
  TelvarObject copy;
  memset(&copy, 0, sizeof(copy));
  int status = cloneObject(&copy, obj);
  if (status != TELVAR_OK) {
    releaseObject(&copy);
    return status;
  }
  status = growList(list);
  if (status != TELVAR_OK) {
    releaseObject(&copy);
    return status;
  }
  *slots(list)[list->length - 1] = copy;
  copyText(texts(slots(list)[list->length])[list->length - 1], name);
  return TELVAR_OK;
}

int TelvarList_getAt(TelvarObject* objOut, const TelvarObject* list, int index) {
  if (objOut == NULL || !TelvarList_isValid(list) || index < 0 || index >= list->length) {
    return TELVAR_INVALID;
  }
  return cloneObject(objOut, slots(list)[index]);
}

int TelvarList_getElement(TelvarObject** objOut, const TelvarObject* list, int index) {
  if (objOut == NULL || list == NULL || !isListMode(list->mode) || list->data == NULL ||
      index < 0 || index >= list->length) {
    return TELVAR_INVALID;
  }
  *objOut = slots(list)[index];
  return TELVAR_OK;
}

int TelvarList_findName(int* indexOut, const TelvarObject* list, const char* name) {
  if (indexOut == NULL || name == NULL || list == NULL || !isListMode(list->mode) ||
      list->data == NULL) {
    return TELVAR_INVALID;
  }
  const TelvarObject* names = slots(list)[list->length];
  if (!TelvarVector_isString(names) || names->length != list->length) return TELVAR_INVALID;
  for (int32_t i = 0; i < list->length; ++i) {
    if (strcmp(texts(names)[i], name) == 0) {
      *indexOut = i;
      return TELVAR_OK;
    }
  }
  return TELVAR_INVALID;
}

int TelvarList_setAt(TelvarObject* list, int index, const TelvarObject* obj) {
  if (!TelvarList_isValid(list) || !TelvarObject_isValid(obj) || index < 0 ||
      index > list->length) {
    return TELVAR_INVALID;
  }
  if (index == list->length) return TelvarList_add(list, obj, "");
  TelvarObject copy;
  memset(&copy, 0, sizeof(copy));
  int status = cloneObject(&copy, obj);
  if (status != TELVAR_OK) {
    releaseObject(&copy);
    return status;
  }
  releaseObject(slots(list)[index]);
  *slots(list)[index] = copy;
  return TELVAR_OK;
}

int TelvarList_printElement(const TelvarObject* list, int index) {
  if (!TelvarList_isValid(list) || index < 0 || index >= list->length) {
    Telvar_error("bad List pointer argument of TelvarList_printElement\n");
    return TELVAR_INVALID;
  }
  printf("$%s\n", texts(slots(list)[list->length])[index]);
  return TelvarObject_print(slots(list)[index]);
}

int TelvarList_print(const TelvarObject* list) {
  if (!TelvarList_isValid(list)) {
    Telvar_error("bad List pointer argument of TelvarList_printElement\n");
    return TELVAR_INVALID;
  }
  for (int32_t i = 0; i < list->length; ++i)
    TelvarList_printElement(list, i);
  return TELVAR_OK;
}

/* ===================================================================== factors */

int TelvarFactor_create(TelvarObject* f, int nData, const int32_t* codes, int nLevels,
                        const char* const* levelTexts) {
  if (f == NULL || nData < 0 || nLevels < 0) return TELVAR_INVALID;
  if (codes != NULL) {
    for (int i = 0; i < nData; ++i) {
      if (codes[i] < 0 || codes[i] >= nLevels) return TELVAR_INVALID;
    }
  }
  int status = TelvarList_create(f, 2, TELVAR_FACTOR);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(f)[0], nData, TELVAR_LONG, codes);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(f)[1], nLevels, TELVAR_STRING, levelTexts);
  if (status != TELVAR_OK) return status;
  static const char* const names[] = {"data", "levels"};
  return TelvarList_setNamesFromStrings(f, names);
}

int TelvarFactor_createFromStrings(TelvarObject* f, int n, const char* const* strings) {
  if (f == NULL || n < 0 || (n > 0 && strings == NULL)) return TELVAR_INVALID;
  TelvarHash* hash = NULL;
  int status = TelvarHash_create(&hash);
  if (status != TELVAR_OK) return status;
  int32_t* codes = n > 0 ? malloc((size_t)n * sizeof(int32_t)) : NULL;
  const char** levels = n > 0 ? malloc((size_t)n * sizeof(char*)) : NULL;
  if (n > 0 && (codes == NULL || levels == NULL)) {
    status = TELVAR_NOMEM;
  }
  int nLevels = 0;
  for (int i = 0; i < n && status == TELVAR_OK; ++i) {
    const char* text = strings[i] != NULL ? strings[i] : "";
    int code;
    if (!TelvarHash_find(&code, hash, text)) {
      code = nLevels;
      status = TelvarHash_insert(hash, text, code);
      levels[nLevels++] = text;
    }
    codes[i] = code;
  }
  if (status == TELVAR_OK) status = TelvarFactor_create(f, n, codes, nLevels, levels);
  free(codes);
  free(levels);
  TelvarHash_destroy(hash);
  return status;
}

int TelvarFactor_isValid(const TelvarObject* f) {
  if (f == NULL || f->mode != TELVAR_FACTOR || f->length != 2 || !TelvarList_isValid(f)) {
    return 0;
  }
  const TelvarObject* codes = slots(f)[0];
  const TelvarObject* levels = slots(f)[1];
  if (!TelvarVector_isLong(codes) || !TelvarVector_isString(levels)) return 0;
  for (int32_t i = 0; i < codes->length; ++i) {
    int32_t c = ((const int32_t*)codes->data)[i];
    if (c < -1 || c >= levels->length) return 0; /* -1: missing */
  }
  return 1;
}

int TelvarFactor_printElement(const TelvarObject* f, int index) {
  if (!TelvarFactor_isValid(f) || index < 0 || index >= slots(f)[0]->length) {
    Telvar_error("bad Factor pointer argument of TelvarFactor_printElement\n");
    return TELVAR_INVALID;
  }
  int32_t code = ((const int32_t*)slots(f)[0]->data)[index];
  printf("%s", code < 0 ? "NA" : texts(slots(f)[1])[code]);
  return TELVAR_OK;
}

int TelvarFactor_print(const TelvarObject* f) {
  if (!TelvarFactor_isValid(f)) {
    Telvar_error("bad Factor pointer argument of TelvarFactor_printElement\n");
    return TELVAR_INVALID;
  }
  for (int32_t i = 0; i < slots(f)[0]->length; ++i) {
    if (i > 0) printf(", ");
    TelvarFactor_printElement(f, i);
  }
  printf("\nLevels: ");
  TelvarVector_print(slots(f)[1]);
  return TELVAR_OK;
}

/* ===================================================================== matrices */

static int createMatrixParts(TelvarObject* m, int mode, int nParts, int nrow, int ncol,
                             const double* values, const char* const* rowNames,
                             const char* const* columnNames) {
  if (m == NULL || nrow < 1 || ncol < 1 || (size_t)nrow * (size_t)ncol > INT32_MAX) {
    return TELVAR_INVALID;
  }
  int status = TelvarList_create(m, nParts, mode);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(m)[0], nrow * ncol, TELVAR_DOUBLE, values);
  if (status != TELVAR_OK) return status;
  int32_t dim[2] = {nrow, ncol};
  status = TelvarVector_create(slots(m)[1], 2, TELVAR_LONG, dim);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(m)[2], rowNames ? nrow : 0, TELVAR_STRING, rowNames);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(m)[3], columnNames ? ncol : 0, TELVAR_STRING, columnNames);
  if (status != TELVAR_OK) return status;
  static const char* const names[] = {"data", "dim", "rowNames", "columnNames", "level"};
  return TelvarList_setNamesFromStrings(m, names);
}

int TelvarDoubleMatrix_create(TelvarObject* m, int nrow, int ncol, const double* values,
                              const char* const* rowNames, const char* const* columnNames) {
  return createMatrixParts(m, TELVAR_DOUBLE_MATRIX, 4, nrow, ncol, values, rowNames, columnNames);
}

/* Shape check shared by double and model matrices (data, dim, rowNames, columnNames). */
static int matrixPartsValid(const TelvarObject* m, int mode, int nParts) {
  if (m == NULL || m->mode != mode || m->length != nParts || !TelvarList_isValid(m)) return 0;
  const TelvarObject* data = slots(m)[0];
  const TelvarObject* dim = slots(m)[1];
  if (!TelvarVector_isDouble(data) || !TelvarVector_isLong(dim) || dim->length != 2) return 0;
  int32_t nrow = ((const int32_t*)dim->data)[0];
  int32_t ncol = ((const int32_t*)dim->data)[1];
  if (nrow < 1 || ncol < 1 || (int64_t)nrow * ncol != data->length) return 0;
  const TelvarObject* rn = slots(m)[2];
  const TelvarObject* cn = slots(m)[3];
  return TelvarVector_isString(rn) && (rn->length == 0 || rn->length == nrow) &&
         TelvarVector_isString(cn) && (cn->length == 0 || cn->length == ncol);
}

int TelvarDoubleMatrix_isValid(const TelvarObject* m) {
  return matrixPartsValid(m, TELVAR_DOUBLE_MATRIX, 4) ||
         matrixPartsValid(m, TELVAR_MODEL_MATRIX, 5);
}

static int anyMatrixValid(const TelvarObject* m) {
  return TelvarDoubleMatrix_isValid(m);
}

static int matrixDim(const TelvarObject* m, int which) {
  return ((const int32_t*)slots(m)[1]->data)[which];
}

int TelvarDoubleMatrix_getNRows(int* nOut, const TelvarObject* m) {
  if (nOut == NULL || !anyMatrixValid(m)) return TELVAR_INVALID;
  *nOut = matrixDim(m, 0);
  return TELVAR_OK;
}

int TelvarDoubleMatrix_getNColumns(int* nOut, const TelvarObject* m) {
  if (nOut == NULL || !anyMatrixValid(m)) return TELVAR_INVALID;
  *nOut = matrixDim(m, 1);
  return TELVAR_OK;
}

int TelvarDoubleMatrix_getValues(double** valuesOut, const TelvarObject* m) {
  if (valuesOut == NULL || !anyMatrixValid(m)) return TELVAR_INVALID;
  *valuesOut = (double*)slots(m)[0]->data;
  return TELVAR_OK;
}

/* Replaces names slot `slot` of a matrix or data set by a copy of names (length 0 or n). */
static int replaceNames(TelvarObject* obj, int slot, const TelvarObject* names, int n) {
  if (!TelvarVector_isString(names) || (names->length != 0 && names->length != n)) {
    return TELVAR_INVALID;
  }
  return TelvarList_setAt(obj, slot, names);
}

int TelvarDoubleMatrix_getColumnNames(TelvarObject* names, const TelvarObject* m) {
  if (names == NULL || !anyMatrixValid(m)) return TELVAR_INVALID;
  return cloneObject(names, slots(m)[3]);
}

int TelvarDoubleMatrix_setColumnNames(TelvarObject* m, const TelvarObject* names) {
  if (!anyMatrixValid(m)) return TELVAR_INVALID;
  return replaceNames(m, 3, names, matrixDim(m, 1));
}

int TelvarDoubleMatrix_getRowNames(TelvarObject* names, const TelvarObject* m) {
  if (names == NULL || !anyMatrixValid(m)) return TELVAR_INVALID;
  return cloneObject(names, slots(m)[2]);
}

int TelvarDoubleMatrix_setRowNames(TelvarObject* m, const TelvarObject* names) {
  if (!anyMatrixValid(m)) return TELVAR_INVALID;
  return replaceNames(m, 2, names, matrixDim(m, 0));
}

/* Header row of column names, then one row per observation labelled "[row]". */
static void printMatrixBody(const TelvarObject* m) {
  int nrow = matrixDim(m, 0);
  int ncol = matrixDim(m, 1);
  const double* v = (const double*)slots(m)[0]->data;
  const TelvarObject* cn = slots(m)[3];
  const TelvarObject* rn = slots(m)[2];
  printf("%8s", "");
  for (int c = 0; c < ncol; ++c) {
    if (cn->length > 0) {
      printf(" %14s", texts(cn)[c]);
    } else {
      printf(" %13s%d]", "[,", c);
    }
  }
  printf("\n");
  for (int r = 0; r < nrow; ++r) {
    if (rn->length > 0) {
      printf("%8s", texts(rn)[r]);
    } else {
      printf("[%6d]", r);
    }
    for (int c = 0; c < ncol; ++c)
      printf(" %14g", v[(size_t)c * (size_t)nrow + (size_t)r]);
    printf("\n");
  }
}

int TelvarDoubleMatrix_print(const TelvarObject* m) {
  if (!anyMatrixValid(m)) {
    Telvar_error("Invalid pdMatrix\n");
    return TELVAR_INVALID;
  }
  printMatrixBody(m);
  return TELVAR_OK;
}

int TelvarModelMatrix_create(TelvarObject* m, int nrow, int ncol, const double* values,
                             const char* const* rowNames, const char* const* columnNames) {
  int status =
      createMatrixParts(m, TELVAR_MODEL_MATRIX, 5, nrow, ncol, values, rowNames, columnNames);
  if (status != TELVAR_OK) return status;
  status = TelvarList_create(slots(m)[4], ncol, TELVAR_LIST);
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    status = TelvarVector_create(slots(slots(m)[4])[c], 0, TELVAR_STRING, NULL);
  }
  return status;
}

int TelvarModelMatrix_isValid(const TelvarObject* m) {
  if (!matrixPartsValid(m, TELVAR_MODEL_MATRIX, 5)) return 0;
  const TelvarObject* level = slots(m)[4];
  if (!TelvarList_isValid(level)) return 0;
  int64_t total = 0;
  for (int32_t i = 0; i < level->length; ++i) {
    const TelvarObject* lv = slots(level)[i];
    if (!TelvarVector_isString(lv)) return 0;
    total += lv->length > 0 ? lv->length : 1;
  }
  return total == matrixDim(m, 1);
}

int TelvarModelMatrix_print(const TelvarObject* m) {
  if (!TelvarModelMatrix_isValid(m)) {
    Telvar_error("Invalid pdMatrix\n");
    return TELVAR_INVALID;
  }
  printMatrixBody(m);
  printf("\nFactor levels:\n");
  return TelvarList_print(slots(m)[4]);
}

/* ===================================================================== data sets */

static TelvarObject* dsColumns(const TelvarObject* ds) {
  return slots(ds)[0];
}
static int dsDim(const TelvarObject* ds, int which) {
  return ((const int32_t*)slots(ds)[1]->data)[which];
}

/* Length of a column: the vector's length or the factor's number of codes. */
static int columnLength(const TelvarObject* col) {
  return col->mode == TELVAR_FACTOR ? slots(col)[0]->length : col->length;
}

int TelvarColumn_isValid(const TelvarObject* col) {
  return TelvarVector_isValid(col) || TelvarFactor_isValid(col);
}

/* The list shape of a data set, without the column checks. */
static int dataSetShape(const TelvarObject* ds) {
  if (ds == NULL || ds->mode != TELVAR_DATA_SET || ds->length != 4 || ds->data == NULL) {
    return 0;
  }
  const TelvarObject* cols = slots(ds)[0];
  const TelvarObject* dim = slots(ds)[1];
  if (!TelvarVector_isLong(dim) || dim->length != 2) return 0;
  if (cols->mode != TELVAR_LIST || cols->length != dsDim(ds, 1)) return 0;
  return dsDim(ds, 0) >= 0 && (cols->length == 0 || cols->data != NULL);
}

int TelvarDataSet_isValid(const TelvarObject* ds) {
  if (!dataSetShape(ds) || !TelvarList_isValid(ds)) return 0;
  int nrow = dsDim(ds, 0);
  int ncol = dsDim(ds, 1);
  const TelvarObject* cols = dsColumns(ds);
  for (int c = 0; c < ncol; ++c) {
    const TelvarObject* col = slots(cols)[c];
    if (!TelvarColumn_isValid(col) || columnLength(col) != nrow) return 0;
  }
  const TelvarObject* rn = slots(ds)[2];
  const TelvarObject* cn = slots(ds)[3];
  return TelvarVector_isString(rn) && (rn->length == 0 || rn->length == nrow) &&
         TelvarVector_isString(cn) && (cn->length == 0 || cn->length == ncol);
}

int TelvarDataSet_createFromInput(TelvarObject* ds, int nrow, int ncol, const int* modes,
                                  const char* const* columnNames, const void* const* columns) {
  if (ds == NULL || nrow < 0 || ncol < 0 || (ncol > 0 && modes == NULL)) return TELVAR_INVALID;
  for (int c = 0; c < ncol; ++c) {
    if (!isVectorMode(modes[c])) return TELVAR_INVALID;
  }
  int status = TelvarList_create(ds, 4, TELVAR_DATA_SET);
  if (status != TELVAR_OK) return status;
  static const char* const names[] = {"data", "dim", "rowNames", "columnNames"};
  TelvarList_setNamesFromStrings(ds, names);
  int32_t dim[2] = {nrow, ncol};
  status = TelvarVector_create(slots(ds)[1], 2, TELVAR_LONG, dim);
  if (status == TELVAR_OK) status = TelvarVector_create(slots(ds)[2], 0, TELVAR_STRING, NULL);
  if (status == TELVAR_OK) {
    status = TelvarVector_create(slots(ds)[3], columnNames ? ncol : 0, TELVAR_STRING, columnNames);
  }
  if (status == TELVAR_OK) status = TelvarList_create(slots(ds)[0], ncol, TELVAR_LIST);
  if (status != TELVAR_OK) return status;
  if (ncol == 0) TelvarObject_alloc(slots(ds)[0], 0, TELVAR_LIST);
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    const void* values = columns != NULL ? columns[c] : NULL;
    status = TelvarVector_create(slots(slots(ds)[0])[c], nrow, modes[c], values);
  }
  return status;
}

int TelvarDataSet_getColumnMode(int* modeOut, const TelvarObject* ds, int column) {
  if (modeOut == NULL || !dataSetShape(ds) || column < 0 || column >= dsDim(ds, 1)) {
    return TELVAR_INVALID;
  }
  *modeOut = slots(dsColumns(ds))[column]->mode;
  return TELVAR_OK;
}

int TelvarDataSet_getColumn(TelvarObject** columnOut, const TelvarObject* ds, int column) {
  if (columnOut == NULL || !dataSetShape(ds) || column < 0 || column >= dsDim(ds, 1)) {
    return TELVAR_INVALID;
  }
  *columnOut = slots(dsColumns(ds))[column];
  return TELVAR_OK;
}

int TelvarDataSet_setColumn(TelvarObject* ds, int column, const TelvarObject* col) {
  if (!dataSetShape(ds) || column < 0 || column >= dsDim(ds, 1) || !TelvarColumn_isValid(col) ||
      columnLength(col) != dsDim(ds, 0)) {
    return TELVAR_INVALID;
  }
  TelvarObject copy;
  memset(&copy, 0, sizeof(copy));
  int status = cloneObject(&copy, col);
  if (status != TELVAR_OK) {
    releaseObject(&copy);
    return status;
  }
  TelvarObject* slot = slots(dsColumns(ds))[column];
  releaseObject(slot);
  *slot = copy;
  return TELVAR_OK;
}

int TelvarDataSet_getNRows(int* nOut, const TelvarObject* ds) {
  if (nOut == NULL || !dataSetShape(ds)) return TELVAR_INVALID;
  *nOut = dsDim(ds, 0);
  return TELVAR_OK;
}

int TelvarDataSet_getNColumns(int* nOut, const TelvarObject* ds) {
  if (nOut == NULL || !dataSetShape(ds)) return TELVAR_INVALID;
  *nOut = dsDim(ds, 1);
  return TELVAR_OK;
}

int TelvarDataSet_getColumnNames(TelvarObject* names, const TelvarObject* ds) {
  if (names == NULL || !TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  return cloneObject(names, slots(ds)[3]);
}

int TelvarDataSet_setColumnNames(TelvarObject* ds, const TelvarObject* names) {
  if (!TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  return replaceNames(ds, 3, names, dsDim(ds, 1));
}

int TelvarDataSet_getRowNames(TelvarObject* names, const TelvarObject* ds) {
  if (names == NULL || !TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  return cloneObject(names, slots(ds)[2]);
}

int TelvarDataSet_setRowNames(TelvarObject* ds, const TelvarObject* names) {
  if (!TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  return replaceNames(ds, 2, names, dsDim(ds, 0));
}

double TelvarDataSet_getNonStringValue(const TelvarObject* ds, int column, int row) {
  if (!TelvarDataSet_isValid(ds) || column < 0 || column >= dsDim(ds, 1) || row < 0 ||
      row >= dsDim(ds, 0)) {
    return 0.0;
  }
  const TelvarObject* col = slots(dsColumns(ds))[column];
  switch (col->mode) {
    case TELVAR_FACTOR:
      return ((const int32_t*)slots(col)[0]->data)[row];
    case TELVAR_LONG:
      return ((const int32_t*)col->data)[row];
    case TELVAR_FLOAT:
      return ((const float*)col->data)[row];
    case TELVAR_DOUBLE:
      return ((const double*)col->data)[row];
    default:
      return 0.0;
  }
}

/* Text of one cell: factor cells print their level. */
static int cellText(char* buffer, int size, const TelvarObject* col, int row) {
  if (col->mode == TELVAR_FACTOR) {
    int32_t code = ((const int32_t*)slots(col)[0]->data)[row];
    if (code < 0 && size > 2) {
      strcpy(buffer, "NA");
      return TELVAR_OK;
    }
    return TelvarVector_getAsStringAt(buffer, size, slots(col)[1], code);
  }
  return TelvarVector_getAsStringAt(buffer, size, col, row);
}

int TelvarDataSet_print(const TelvarObject* ds) {
  if (!TelvarDataSet_isValid(ds)) {
    Telvar_error("Invalid DataSet object\n");
    return TELVAR_INVALID;
  }
  int nrow = dsDim(ds, 0);
  int ncol = dsDim(ds, 1);
  const TelvarObject* cn = slots(ds)[3];
  printf("%8s", "");
  for (int c = 0; c < ncol; ++c)
    printf(" %14s", cn->length > 0 ? texts(cn)[c] : "");
  printf("\n");
  char buffer[TELVAR_STRING_SLOT + 64];
  for (int r = 0; r < nrow; ++r) {
    printf("[%6d]", r);
    for (int c = 0; c < ncol; ++c) {
      if (cellText(buffer, (int)sizeof(buffer), slots(dsColumns(ds))[c], r) == TELVAR_OK) {
        printf(" %14s", buffer);
      } else {
        printf(" unable to print cell: ");
      }
    }
    printf("\n");
  }
  return TELVAR_OK;
}

/* Matrix from a data set: numeric columns as doubles, factors as one indicator per level. */
static int matrixFromDataSet(TelvarObject* m, const TelvarObject* ds, int modelMatrix) {
  if (m == NULL || !TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  int nrow = dsDim(ds, 0);
  int ncol = dsDim(ds, 1);
  const TelvarObject* cols = dsColumns(ds);
  const TelvarObject* cn = slots(ds)[3];
  int outCols = 0;
  for (int c = 0; c < ncol; ++c) {
    const TelvarObject* col = slots(cols)[c];
    if (col->mode == TELVAR_STRING) return TELVAR_INVALID;
    outCols += col->mode == TELVAR_FACTOR ? slots(col)[1]->length : 1;
  }
  if (nrow < 1 || outCols < 1) return TELVAR_INVALID;
  int status = modelMatrix ? TelvarModelMatrix_create(m, nrow, outCols, NULL, NULL, NULL)
                           : TelvarDoubleMatrix_create(m, nrow, outCols, NULL, NULL, NULL);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(slots(m)[3], outCols, TELVAR_STRING, NULL);
  if (status != TELVAR_OK) return status;
  double* out = (double*)slots(m)[0]->data;
  int outCol = 0;
  for (int c = 0; c < ncol; ++c) {
    const TelvarObject* col = slots(cols)[c];
    const char* name = cn->length > 0 ? texts(cn)[c] : "";
    if (col->mode == TELVAR_FACTOR) {
      const TelvarObject* levels = slots(col)[1];
      const int32_t* codes = (const int32_t*)slots(col)[0]->data;
      for (int lv = 0; lv < levels->length; ++lv, ++outCol) {
        snprintf(texts(slots(m)[3])[outCol], TELVAR_STRING_SLOT, "%s(%s)", name, texts(levels)[lv]);
        for (int r = 0; r < nrow; ++r) {
          out[(size_t)outCol * (size_t)nrow + (size_t)r] = codes[r] == lv ? 1.0 : 0.0;
        }
      }
      if (modelMatrix) {
        TelvarObject* slot = slots(slots(m)[4])[c];
        releaseObject(slot);
        status = cloneObject(slot, levels);
        if (status != TELVAR_OK) return status;
      }
    } else {
      copyText(texts(slots(m)[3])[outCol], name);
      for (int r = 0; r < nrow; ++r) {
        out[(size_t)outCol * (size_t)nrow + (size_t)r] = TelvarDataSet_getNonStringValue(ds, c, r);
      }
      ++outCol;
    }
  }
  if (modelMatrix) {
    /* The "level" list holds one entry per source column. */
    TelvarObject* level = slots(m)[4];
    while (level->length > ncol) {
      TelvarObject shrunk;
      memset(&shrunk, 0, sizeof(shrunk));
      status = TelvarList_create(&shrunk, ncol, TELVAR_LIST);
      for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
        status = cloneObject(slots(&shrunk)[c], slots(level)[c]);
      }
      if (status != TELVAR_OK) {
        releaseObject(&shrunk);
        return status;
      }
      releaseObject(level);
      *level = shrunk;
    }
    if (cn->length > 0) TelvarList_setNamesFromStrings(level, (const char* const*)cn->data);
  }
  return TELVAR_OK;
}

int TelvarDoubleMatrix_createFromDataSet(TelvarObject* m, const TelvarObject* dataSet) {
  return matrixFromDataSet(m, dataSet, 0);
}

int TelvarModelMatrix_createFromDataSet(TelvarObject* m, const TelvarObject* dataSet) {
  return matrixFromDataSet(m, dataSet, 1);
}

/* ===================================================================== metadata */

static const char* nameAt(const TelvarObject* list, int index) {
  return texts(slots(list)[list->length])[index];
}

static int isMetaDataShape(const TelvarObject* obj) {
  return obj != NULL && obj->mode == TELVAR_META_DATA && obj->length == 2 && obj->data != NULL &&
         TelvarVector_isString(slots(obj)[2]) && slots(obj)[2]->length == 2 &&
         strcmp(nameAt(obj, 0), "columnInfo") == 0;
}

/* A poly() column's coefficients: the degree k (1 to 20), the raw flag (0 or 1), then unless
 * raw R's alpha (k values) and norm2 (k + 2 positive values); all finite. */
static int polyCoefficientsValid(const TelvarObject* coef) {
  if (!TelvarVector_isDouble(coef) || coef->length < 2) return 0;
  const double* v = (const double*)coef->data;
  if (!(v[0] >= 1 && v[0] <= VT_POLY_MAX_DEGREE) || v[0] != (int)v[0] || (v[1] != 0 && v[1] != 1)) {
    return 0;
  }
  int degree = (int)v[0];
  if (coef->length != (v[1] == 1 ? 2 : 2 * degree + 4)) return 0;
  for (int32_t i = 2; i < coef->length; ++i) {
    if (!isfinite(v[i]) || (i >= 2 + degree && !(v[i] > 0))) return 0;
  }
  return 1;
}

static int columnInfoValid(const TelvarObject* info) {
  if (info == NULL || info->mode != TELVAR_LIST || !TelvarList_isValid(info)) return 0;
  for (int32_t c = 0; c < info->length; ++c) {
    const TelvarObject* entry = slots(info)[c];
    if (entry->mode != TELVAR_LIST || (entry->length != 2 && entry->length != 3)) return 0;
    if (!TelvarVector_isString(slots(entry)[0]) || !TelvarVector_isLong(slots(entry)[1])) {
      return 0;
    }
    if (slots(entry)[1]->length != slots(entry)[0]->length) return 0;
    if (entry->length == 3 &&
        (slots(entry)[0]->length > 0 || strcmp(nameAt(entry, 2), "polyCoefficients") != 0 ||
         !polyCoefficientsValid(slots(entry)[2]))) {
      return 0;
    }
  }
  return 1;
}

/* The poly() coefficients of a columnInfo entry, or NULL. */
static const TelvarObject* polyCoefficients(const TelvarObject* entry) {
  return entry->length == 3 ? slots(entry)[2] : NULL;
}

static int termInfoValid(const TelvarObject* info) {
  if (info == NULL || info->mode != TELVAR_LIST || !TelvarList_isValid(info)) return 0;
  for (int32_t t = 0; t < info->length; ++t) {
    if (!TelvarVector_isString(slots(info)[t])) return 0;
  }
  return 1;
}

int TelvarMetaData_isValid(const TelvarObject* md) {
  return isMetaDataShape(md) && TelvarList_isValid(md) && columnInfoValid(slots(md)[0]) &&
         termInfoValid(slots(md)[1]) && strcmp(nameAt(md, 1), "termInfo") == 0;
}

int TelvarMetaData_create(TelvarObject* md, const TelvarObject* columnInfo,
                          const TelvarObject* termInfo) {
  if (md == NULL || !columnInfoValid(columnInfo) || !termInfoValid(termInfo)) {
    return TELVAR_INVALID;
  }
  int status = TelvarList_create(md, 2, TELVAR_META_DATA);
  if (status != TELVAR_OK) return status;
  setClassName(md, "MetaData");
  static const char* const names[] = {"columnInfo", "termInfo"};
  TelvarList_setNamesFromStrings(md, names);
  status = cloneObject(slots(md)[0], columnInfo);
  if (status == TELVAR_OK) status = cloneObject(slots(md)[1], termInfo);
  return status;
}

int TelvarMetaData_createInputDescription(TelvarObject* columnInfo, int nColumns,
                                          const char* const* names, const int* nLevels,
                                          const char* const* const* levels,
                                          const int32_t* const* splits) {
  if (columnInfo == NULL || nColumns < 0 || (nColumns > 0 && names == NULL)) {
    return TELVAR_INVALID;
  }
  int status = TelvarList_create(columnInfo, nColumns, TELVAR_LIST);
  if (nColumns == 0) return TelvarObject_alloc(columnInfo, 0, TELVAR_LIST);
  if (status != TELVAR_OK) return status;
  TelvarList_setNamesFromStrings(columnInfo, names);
  static const char* const entryNames[] = {"levelNames", "splitCategories"};
  for (int c = 0; c < nColumns && status == TELVAR_OK; ++c) {
    int n = nLevels != NULL ? nLevels[c] : 0;
    if (n < 0 || (n > 0 && (levels == NULL || levels[c] == NULL))) return TELVAR_INVALID;
    TelvarObject* entry = slots(columnInfo)[c];
    status = TelvarList_create(entry, 2, TELVAR_LIST);
    if (status != TELVAR_OK) break;
    TelvarList_setNamesFromStrings(entry, entryNames);
    status = TelvarVector_create(slots(entry)[0], n, TELVAR_STRING, n > 0 ? levels[c] : NULL);
    if (status != TELVAR_OK) break;
    const int32_t* given = splits != NULL ? splits[c] : NULL;
    status = TelvarVector_create(slots(entry)[1], n, TELVAR_LONG, given);
    for (int lv = 0; lv < n && given == NULL && status == TELVAR_OK; ++lv) {
      ((int32_t*)slots(entry)[1]->data)[lv] = lv;
    }
  }
  return status;
}

int TelvarMetaData_setPolyBasis(TelvarObject* columnInfo, int column, int degree, int raw,
                                const double* alpha, const double* norm2) {
  if (!columnInfoValid(columnInfo) || column < 0 || column >= columnInfo->length || degree < 1 ||
      degree > VT_POLY_MAX_DEGREE || (!raw && (alpha == NULL || norm2 == NULL))) {
    return TELVAR_INVALID;
  }
  TelvarObject* entry = slots(columnInfo)[column];
  if (entry->length != 2 || slots(entry)[0]->length > 0) return TELVAR_INVALID;
  int n = raw ? 2 : 2 * degree + 4;
  double values[2 * VT_POLY_MAX_DEGREE + 4];
  values[0] = degree;
  values[1] = raw ? 1.0 : 0.0;
  for (int j = 0; j < degree && !raw; ++j)
    values[2 + j] = alpha[j];
  for (int j = 0; j < degree + 2 && !raw; ++j)
    values[2 + degree + j] = norm2[j];
  TelvarObject rebuilt;
  memset(&rebuilt, 0, sizeof(rebuilt));
  int status = TelvarList_create(&rebuilt, 3, TELVAR_LIST);
  if (status == TELVAR_OK) {
    status = TelvarVector_create(slots(&rebuilt)[2], n, TELVAR_DOUBLE, values);
  }
  if (status == TELVAR_OK && !polyCoefficientsValid(slots(&rebuilt)[2])) status = TELVAR_INVALID;
  if (status != TELVAR_OK) {
    releaseObject(&rebuilt);
    return status;
  }
  for (int k = 0; k < 2; ++k) { /* moves the levels and split categories over */
    *slots(&rebuilt)[k] = *slots(entry)[k];
    memset(slots(entry)[k], 0, sizeof(TelvarObject));
  }
  static const char* const entryNames[] = {"levelNames", "splitCategories", "polyCoefficients"};
  TelvarList_setNamesFromStrings(&rebuilt, entryNames);
  releaseObject(entry);
  *entry = rebuilt;
  return TELVAR_OK;
}

int TelvarMetaData_createTerms(TelvarObject* termInfo, int nTerms, const char* const* names,
                               const int* nColumns, const char* const* const* columns) {
  if (termInfo == NULL || nTerms < 0 || (nTerms > 0 && (names == NULL || nColumns == NULL))) {
    return TELVAR_INVALID;
  }
  if (nTerms == 0) return TelvarObject_alloc(termInfo, 0, TELVAR_LIST);
  int status = TelvarList_create(termInfo, nTerms, TELVAR_LIST);
  if (status != TELVAR_OK) return status;
  TelvarList_setNamesFromStrings(termInfo, names);
  for (int t = 0; t < nTerms && status == TELVAR_OK; ++t) {
    if (nColumns[t] < 0 || (nColumns[t] > 0 && (columns == NULL || columns[t] == NULL))) {
      return TELVAR_INVALID;
    }
    status = TelvarVector_create(slots(termInfo)[t], nColumns[t], TELVAR_STRING, columns[t]);
  }
  return status;
}

int TelvarMetaData_createFromDataSet(TelvarObject* md, const TelvarObject* ds) {
  if (md == NULL || !TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  int ncol = dsDim(ds, 1);
  const TelvarObject* cn = slots(ds)[3];
  if (ncol > 0 && cn->length != ncol) return TELVAR_INVALID;
  const char* const* names = ncol > 0 ? (const char* const*)cn->data : NULL;
  int* nLevels = calloc((size_t)ncol + 1, sizeof(int));
  const char* const** levels = calloc((size_t)ncol + 1, sizeof(char**));
  int* oneColumn = calloc((size_t)ncol + 1, sizeof(int));
  const char* const** termColumns = calloc((size_t)ncol + 1, sizeof(char**));
  int status = TELVAR_NOMEM;
  if (nLevels != NULL && levels != NULL && oneColumn != NULL && termColumns != NULL) {
    for (int c = 0; c < ncol; ++c) {
      const TelvarObject* col = slots(dsColumns(ds))[c];
      if (col->mode == TELVAR_FACTOR) {
        nLevels[c] = slots(col)[1]->length;
        levels[c] = (const char* const*)slots(col)[1]->data;
      }
      oneColumn[c] = 1;
      termColumns[c] = names + c;
    }
    TelvarObject columnInfo, termInfo;
    memset(&columnInfo, 0, sizeof(columnInfo));
    memset(&termInfo, 0, sizeof(termInfo));
    status = TelvarMetaData_createInputDescription(&columnInfo, ncol, names, nLevels, levels, NULL);
    if (status == TELVAR_OK) {
      status = TelvarMetaData_createTerms(&termInfo, ncol, names, oneColumn, termColumns);
    }
    if (status == TELVAR_OK) status = TelvarMetaData_create(md, &columnInfo, &termInfo);
    releaseObject(&columnInfo);
    releaseObject(&termInfo);
  }
  free(nLevels);
  free(levels);
  free(oneColumn);
  free(termColumns);
  return status;
}

int TelvarMetaData_print(const TelvarObject* md) {
  if (!TelvarMetaData_isValid(md)) {
    Telvar_error("%s(%d) : ", VT_FILE, __LINE__);
    Telvar_error("Invalid meta data\n");
    return TELVAR_INVALID;
  }
  const TelvarObject* info = slots(md)[0];
  for (int32_t c = 0; c < info->length; ++c) {
    printf("Column (%s):\n", nameAt(info, c));
    printf("Level Names:\n");
    TelvarVector_print(slots(slots(info)[c])[0]);
    printf("Split Categories:\n");
    TelvarVector_print(slots(slots(info)[c])[1]);
    if (polyCoefficients(slots(info)[c]) != NULL) {
      printf("Polynomial Coefficients:\n");
      TelvarVector_print(polyCoefficients(slots(info)[c]));
    }
  }
  const TelvarObject* terms = slots(md)[1];
  for (int32_t t = 0; t < terms->length; ++t) {
    printf("Term (%s):\n", nameAt(terms, t));
    printf("Column Names:\n");
    TelvarVector_print(slots(terms)[t]);
  }
  return TELVAR_OK;
}

int TelvarMetaData_destroy(TelvarObject* md) {
  return TelvarObject_destroy(md);
}

/* Index of the data-set column called name, or -1. */
static int findColumn(const TelvarObject* ds, const char* name) {
  const TelvarObject* cn = slots(ds)[3];
  for (int32_t c = 0; c < cn->length; ++c) {
    if (strcmp(texts(cn)[c], name) == 0) return c;
  }
  return -1;
}

/* Level names describing input column c: the input metadata's entry for the column when one is
 * given, else the factor's own levels; NULL for a numeric column. */
static const TelvarObject* inputLevels(const TelvarObject* input, int c,
                                       const TelvarObject* inputMetaData, const char* name) {
  if (inputMetaData != NULL) {
    const TelvarObject* info = slots(inputMetaData)[0];
    int index;
    if (TelvarList_findName(&index, info, name) == TELVAR_OK &&
        slots(slots(info)[index])[0]->length > 0) {
      return slots(slots(info)[index])[0];
    }
  }
  const TelvarObject* col = slots(dsColumns(input))[c];
  return col->mode == TELVAR_FACTOR ? slots(col)[1] : NULL;
}

/* Fills out (nrow doubles) with model level codes for a factor input column. */
static int convertFactorColumn(double* out, const TelvarObject* col, const TelvarObject* have,
                               const TelvarObject* want, int nrow) {
  TelvarHash* hash = NULL;
  int status = TelvarHash_create(&hash);
  for (int32_t lv = 0; lv < want->length && status == TELVAR_OK; ++lv) {
    if (!TelvarHash_find(NULL, hash, texts(want)[lv])) {
      status = TelvarHash_insert(hash, texts(want)[lv], lv);
    }
  }
  for (int r = 0; r < nrow && status == TELVAR_OK; ++r) {
    double raw = col->mode == TELVAR_FACTOR   ? ((const int32_t*)slots(col)[0]->data)[r]
                 : col->mode == TELVAR_DOUBLE ? ((const double*)col->data)[r]
                 : col->mode == TELVAR_FLOAT  ? ((const float*)col->data)[r]
                                              : ((const int32_t*)col->data)[r];
    int code = -1;
    /* A missing value or a level the model does not know scores as missing. */
    if (raw >= 0 && raw < have->length && (double)(int)raw == raw &&
        TelvarHash_find(&code, hash, texts(have)[(int)raw])) {
      out[r] = code;
    } else {
      out[r] = NAN;
    }
  }
  TelvarHash_destroy(hash);
  return status;
}

/* ===================================================================== derived columns */

/* A metadata column named by a call of log, exp, sqrt or I (as "log(x)" or "I(a * b)") is
 * computed from numeric input columns: names, `quoted names`, numbers, parentheses and the
 * operators + - * / ^ with R's precedence (^ right-associative and above unary minus). Names
 * are stream texts (under 256 characters), which bounds the program and the recursion.
 * Two calls take such an expression e as their argument:
 *   factor(e)   the level whose text is R's as.character of the value (a factor or text
 *               input column named alone gives its own level texts);
 *   poly(e, k) and poly(e, k, raw = TRUE)   the value of e, which the design expands by the
 *               column's polynomial coefficients (Telvar_designRow).
 * A model's offsets are such expressions too, without the enclosing call. */
enum {
  VT_EXPR_COLUMN,
  VT_EXPR_NUMBER,
  VT_EXPR_ADD,
  VT_EXPR_SUBTRACT,
  VT_EXPR_MULTIPLY,
  VT_EXPR_DIVIDE,
  VT_EXPR_POWER,
  VT_EXPR_NEGATE,
  VT_EXPR_LOG,
  VT_EXPR_EXP,
  VT_EXPR_SQRT
};
#define VT_EXPR_STEPS TELVAR_STRING_SLOT

typedef struct {
  int op;
  int column; /* VT_EXPR_COLUMN: input column */
  double number;
} VTExprStep;

enum { VT_DERIVED_ARITHMETIC, VT_DERIVED_FACTOR, VT_DERIVED_POLY };

typedef struct {
  const char* text;
  size_t at;
  int status; /* TELVAR_OK until the first failure */
  int kind;   /* VT_DERIVED_... */
  int degree; /* poly(): k and the raw flag as the name gives them */
  int raw;
  int reported; /* a message was printed */
  const TelvarObject* input;
  int nSteps;
  VTExprStep steps[VT_EXPR_STEPS];
} VTExpr;

static int exprIsNameStart(int c) {
  return isalpha(c) || c == '.' || c >= 0x80;
}
static int exprIsNameChar(int c) {
  return isalnum(c) || c == '.' || c == '_' || c >= 0x80;
}

/* The length of the function name (log, exp, sqrt, I) text starts with when "(" follows it. */
static size_t exprCallName(const char* text) {
  static const char* const functions[] = {"log", "exp", "sqrt", "I"};
  size_t n = 0;
  while (exprIsNameChar((unsigned char)text[n]))
    ++n;
  if (text[n] != '(') return 0;
  for (size_t f = 0; f < sizeof functions / sizeof functions[0]; ++f) {
    if (strlen(functions[f]) == n && strncmp(text, functions[f], n) == 0) return n;
  }
  return 0;
}

static void exprSkip(VTExpr* e) {
  while (isspace((unsigned char)e->text[e->at]))
    ++e->at;
}
static int exprPeek(VTExpr* e, char c) {
  exprSkip(e);
  return e->text[e->at] == c;
}
static void exprEmit(VTExpr* e, int op, int column, double number) {
  if (e->nSteps >= VT_EXPR_STEPS) {
    e->status = TELVAR_INVALID;
    return;
  }
  VTExprStep step = {op, column, number};
  e->steps[e->nSteps++] = step;
}

static void exprSum(VTExpr* e);
static void exprUnary(VTExpr* e);

static void exprName(VTExpr* e) {
  char name[TELVAR_STRING_SLOT];
  size_t start = e->at, n = 0;
  if (e->text[e->at] == '`') {
    const char* close = strchr(e->text + e->at + 1, '`');
    if (close == NULL) {
      e->status = TELVAR_INVALID;
      return;
    }
    start = e->at + 1;
    n = (size_t)(close - (e->text + start));
    e->at = start + n + 1;
  } else {
    while (exprIsNameChar((unsigned char)e->text[e->at]))
      ++e->at;
    n = e->at - start;
  }
  if (n == 0 || n >= sizeof name) {
    e->status = TELVAR_INVALID;
    return;
  }
  memcpy(name, e->text + start, n);
  name[n] = '\0';
  int column = findColumn(e->input, name);
  if (column < 0) {
    Telvar_error("Column required by model not found: %s\n", name);
    e->status = TELVAR_INVALID;
    e->reported = 1;
    return;
  }
  int mode = slots(dsColumns(e->input))[column]->mode;
  /* factor() of one factor column takes its level texts (checked by the conversion). */
  if ((mode == TELVAR_FACTOR || mode == TELVAR_STRING) && e->kind != VT_DERIVED_FACTOR) {
    e->status = TELVAR_WRONG_MODE;
  }
  exprEmit(e, VT_EXPR_COLUMN, column, 0.0);
}

static void exprPrimary(VTExpr* e) {
  exprSkip(e);
  const char* here = e->text + e->at;
  size_t call = exprCallName(here);
  if (isdigit((unsigned char)*here) || (*here == '.' && isdigit((unsigned char)here[1]))) {
    char* end = NULL;
    double value = strtod(here, &end);
    e->at += (size_t)(end - here);
    if (e->text[e->at] == 'L') ++e->at;
    exprEmit(e, VT_EXPR_NUMBER, 0, value);
  } else if (*here == '(' || call > 0) {
    e->at += call + 1;
    exprSum(e);
    if (!exprPeek(e, ')')) {
      e->status = TELVAR_INVALID;
      return;
    }
    ++e->at;
    if (call == 3 && here[0] == 'l') exprEmit(e, VT_EXPR_LOG, 0, 0.0);
    if (call == 3 && here[0] == 'e') exprEmit(e, VT_EXPR_EXP, 0, 0.0);
    if (call == 4) exprEmit(e, VT_EXPR_SQRT, 0, 0.0);
  } else if (*here == '`' || exprIsNameStart((unsigned char)*here)) {
    exprName(e);
  } else {
    e->status = TELVAR_INVALID;
  }
}

static void exprPower(VTExpr* e) {
  exprPrimary(e);
  if (e->status != TELVAR_OK || !exprPeek(e, '^')) return;
  ++e->at;
  exprUnary(e);
  exprEmit(e, VT_EXPR_POWER, 0, 0.0);
}

static void exprUnary(VTExpr* e) {
  if (exprPeek(e, '-') || exprPeek(e, '+')) {
    char op = e->text[e->at++];
    exprUnary(e);
    if (op == '-') exprEmit(e, VT_EXPR_NEGATE, 0, 0.0);
    return;
  }
  exprPower(e);
}

static void exprProduct(VTExpr* e) {
  exprUnary(e);
  while (e->status == TELVAR_OK && (exprPeek(e, '*') || exprPeek(e, '/'))) {
    char op = e->text[e->at++];
    exprUnary(e);
    exprEmit(e, op == '*' ? VT_EXPR_MULTIPLY : VT_EXPR_DIVIDE, 0, 0.0);
  }
}

static void exprSum(VTExpr* e) {
  exprProduct(e);
  while (e->status == TELVAR_OK && (exprPeek(e, '+') || exprPeek(e, '-'))) {
    char op = e->text[e->at++];
    exprProduct(e);
    exprEmit(e, op == '+' ? VT_EXPR_ADD : VT_EXPR_SUBTRACT, 0, 0.0);
  }
}

/* The length of "factor(" or "poly(" when text starts with it, else 0. */
static size_t exprBasisCall(const char* text) {
  if (strncmp(text, "factor(", 7) == 0) return 7;
  return strncmp(text, "poly(", 5) == 0 ? 5 : 0;
}

/* The rest of a poly() call after its argument: ", k)" or ", k, raw = TRUE)". */
static void exprPolyTail(VTExpr* e) {
  if (!exprPeek(e, ',')) {
    e->status = TELVAR_INVALID;
    return;
  }
  ++e->at;
  exprSkip(e);
  const char* digits = e->text + e->at;
  long degree = 0;
  while (isdigit((unsigned char)e->text[e->at]) && degree <= VT_POLY_MAX_DEGREE)
    degree = degree * 10 + (e->text[e->at++] - '0');
  if (e->text + e->at == digits || degree < 1 || degree > VT_POLY_MAX_DEGREE) {
    e->status = TELVAR_INVALID;
    return;
  }
  e->degree = (int)degree;
  if (exprPeek(e, ',')) {
    ++e->at;
    exprSkip(e);
    if (strncmp(e->text + e->at, "raw = TRUE", 10) != 0) {
      e->status = TELVAR_INVALID;
      return;
    }
    e->at += 10;
    e->raw = 1;
  }
  if (!exprPeek(e, ')')) {
    e->status = TELVAR_INVALID;
    return;
  }
  ++e->at;
}

/* Reads the derived column name (whole: an offset expression) into e; status TELVAR_INVALID
 * for a malformed expression or a missing column, TELVAR_WRONG_MODE for a factor or text
 * column. */
static int exprParse(VTExpr* e, const char* name, const TelvarObject* input, int whole) {
  memset(e, 0, sizeof *e);
  e->status = TELVAR_OK;
  e->text = name;
  e->input = input;
  size_t basis = whole ? 0 : exprBasisCall(name);
  if (basis > 0) {
    e->kind = basis == 7 ? VT_DERIVED_FACTOR : VT_DERIVED_POLY;
    e->at = basis;
    exprSum(e);
    if (e->status == TELVAR_OK && e->kind == VT_DERIVED_POLY) exprPolyTail(e);
    if (e->status == TELVAR_OK && e->kind == VT_DERIVED_FACTOR) {
      if (exprPeek(e, ')')) {
        ++e->at;
      } else {
        e->status = TELVAR_INVALID;
      }
    }
  } else if (whole) {
    exprSum(e);
  } else {
    exprPrimary(e);
  }
  exprSkip(e);
  if (e->status == TELVAR_OK && e->text[e->at] != '\0') e->status = TELVAR_INVALID;
  if (e->status == TELVAR_INVALID && !e->reported) {
    Telvar_error("malformed expression \"%s\" at character %d\n", name, (int)e->at + 1);
  }
  return e->status;
}

/* R's as.character of a number (15 significant digits, fixed notation unless the scientific
 * form is shorter: 4, 0.5, 1e+05, 0.333333333333333) into text (TELVAR_STRING_SLOT bytes). */
static void rNumberText(char* text, double value) {
  if (isnan(value) || isinf(value)) {
    copyText(text, isnan(value) ? "NaN" : value > 0 ? "Inf" : "-Inf");
    return;
  }
  char sci[64], fixed[400];
  int digits = 1;
  for (; digits < 15; ++digits) {
    snprintf(sci, sizeof sci, "%.*e", digits - 1, value);
    if (strtod(sci, NULL) == value) break;
  }
  snprintf(sci, sizeof sci, "%.*e", digits - 1, value);
  char* mark = strchr(sci, 'e');
  int exponent = atoi(mark + 1);
  int decimals = digits - 1 - exponent;
  snprintf(fixed, sizeof fixed, "%.*f", decimals > 0 ? decimals : 0, value);
  /* R writes the exponent with at least two digits. */
  const char* power = mark + 2;
  while (strlen(power) > 2 && *power == '0')
    ++power;
  char sign = mark[1];
  *mark = '\0';
  char shortSci[160];
  snprintf(shortSci, sizeof shortSci, "%se%c%s", sci, sign, power);
  copyText(text, strlen(fixed) <= strlen(shortSci) ? fixed : shortSci);
}

/* R's arithmetic: x^2 is x * x, 1^y and x^0 are 1. */
static double exprPow(double x, double y) {
  if (y == 2.0) return x * x;
  if (x == 1.0 || y == 0.0) return 1.0;
  return pow(x, y);
}

/* The value of the expression at input row r. */
static double exprValue(const VTExpr* e, int r) {
  double stack[VT_EXPR_STEPS];
  int top = 0;
  for (int k = 0; k < e->nSteps; ++k) {
    const VTExprStep* step = &e->steps[k];
    double right = top > 0 ? stack[top - 1] : 0.0;
    double* left = top > 1 ? &stack[top - 2] : NULL;
    switch (step->op) {
      case VT_EXPR_COLUMN:
        stack[top++] = TelvarDataSet_getNonStringValue(e->input, step->column, r);
        break;
      case VT_EXPR_NUMBER:
        stack[top++] = step->number;
        break;
      case VT_EXPR_NEGATE:
        stack[top - 1] = -right;
        break;
      case VT_EXPR_LOG:
        stack[top - 1] = log(right);
        break;
      case VT_EXPR_EXP:
        stack[top - 1] = exp(right);
        break;
      case VT_EXPR_SQRT:
        stack[top - 1] = sqrt(right);
        break;
      default:
        *left = step->op == VT_EXPR_ADD        ? *left + right
                : step->op == VT_EXPR_SUBTRACT ? *left - right
                : step->op == VT_EXPR_MULTIPLY ? *left * right
                : step->op == VT_EXPR_DIVIDE   ? *left / right
                                               : exprPow(*left, right);
        --top;
    }
  }
  return top == 1 ? stack[0] : NAN;
}

/* TELVAR_OK when the derived column's metadata entry fits its call: levels for factor(), the
 * polynomial coefficients of the same degree for poly(), neither for arithmetic. */
static int derivedMatchesEntry(const VTExpr* e, const TelvarObject* entry) {
  const TelvarObject* poly = polyCoefficients(entry);
  int levels = slots(entry)[0]->length > 0;
  int fits = e->kind == VT_DERIVED_FACTOR ? levels
             : e->kind == VT_DERIVED_POLY
                 ? poly != NULL && (int)((const double*)poly->data)[0] == e->degree &&
                       (int)((const double*)poly->data)[1] == e->raw
                 : !levels && poly == NULL;
  if (fits) return TELVAR_OK;
  Telvar_error("the column %s does not fit its model entry (%s)\n", e->text,
               e->kind == VT_DERIVED_FACTOR ? "no levels"
               : e->kind == VT_DERIVED_POLY ? "no polynomial coefficients of that degree"
                                            : "levels or polynomial coefficients");
  return TELVAR_INVALID;
}

/* Fills out (nrow doubles) with the model level codes of factor(e): the level named by R's
 * text of e's value (by the level text of a factor column named alone), NaN for a missing
 * value or a level the model does not know. */
static int convertDerivedFactor(double* out, const VTExpr* e, const TelvarObject* want, int nrow) {
  const TelvarObject* col =
      e->steps[0].op == VT_EXPR_COLUMN ? slots(dsColumns(e->input))[e->steps[0].column] : NULL;
  int byLevel = col != NULL && (col->mode == TELVAR_FACTOR || col->mode == TELVAR_STRING);
  if (byLevel && (e->nSteps != 1 || col->mode == TELVAR_STRING)) return TELVAR_WRONG_MODE;
  TelvarHash* hash = NULL;
  int status = TelvarHash_create(&hash);
  for (int32_t lv = 0; lv < want->length && status == TELVAR_OK; ++lv) {
    if (!TelvarHash_find(NULL, hash, texts(want)[lv])) {
      status = TelvarHash_insert(hash, texts(want)[lv], lv);
    }
  }
  char text[TELVAR_STRING_SLOT];
  const TelvarObject* have = byLevel ? slots(col)[1] : NULL;
  for (int r = 0; r < nrow && status == TELVAR_OK; ++r) {
    double value = exprValue(e, r);
    int code = -1;
    if (byLevel && value >= 0 && value < have->length) {
      copyText(text, texts(have)[(int)value]);
    } else if (byLevel || isnan(value)) {
      out[r] = NAN;
      continue;
    } else {
      rNumberText(text, value);
    }
    out[r] = TelvarHash_find(&code, hash, text) ? code : NAN;
  }
  TelvarHash_destroy(hash);
  return status;
}

int TelvarMetaData_InputConvert(TelvarObject* converted, const TelvarObject* metaData,
                                const TelvarObject* input, const TelvarObject* inputMetaData) {
  if (converted == NULL || !TelvarMetaData_isValid(metaData) || !TelvarDataSet_isValid(input) ||
      (inputMetaData != NULL && !TelvarMetaData_isValid(inputMetaData))) {
    return TELVAR_INVALID;
  }
  const TelvarObject* info = slots(metaData)[0];
  int ncol = info->length;
  int nrow = dsDim(input, 0);
  int* source = calloc((size_t)ncol + 1, sizeof(int));
  int* modes = calloc((size_t)ncol + 1, sizeof(int));
  if (source == NULL || modes == NULL) {
    free(source);
    free(modes);
    return TELVAR_NOMEM;
  }
  int status = TELVAR_OK;
  VTExpr** derived = calloc((size_t)ncol + 1, sizeof(VTExpr*));
  if (derived == NULL) status = TELVAR_NOMEM;
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    modes[c] = TELVAR_DOUBLE;
    source[c] = findColumn(input, nameAt(info, c));
    const TelvarObject* poly = polyCoefficients(slots(info)[c]);
    if (source[c] < 0 && (exprCallName(nameAt(info, c)) > 0 || exprBasisCall(nameAt(info, c)))) {
      derived[c] = malloc(sizeof(VTExpr));
      status = derived[c] == NULL ? TELVAR_NOMEM : exprParse(derived[c], nameAt(info, c), input, 0);
      source[c] = 0;
      if (status == TELVAR_OK) status = derivedMatchesEntry(derived[c], slots(info)[c]);
      continue;
    }
    if (poly != NULL) {
      Telvar_error("the column %s has polynomial coefficients but is no poly() call\n",
                   nameAt(info, c));
      status = TELVAR_INVALID;
      break;
    }
    if (source[c] < 0) {
      Telvar_error("Column required by model not found: %s\n", nameAt(info, c));
      status = TELVAR_INVALID;
      break;
    }
  }
  if (status == TELVAR_OK) {
    const char* const* names = ncol > 0 ? (const char* const*)slots(info)[ncol]->data : NULL;
    status = TelvarDataSet_createFromInput(converted, nrow, ncol, modes, names, NULL);
  }
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    if (derived[c] != NULL) {
      double* values = (double*)slots(dsColumns(converted))[c]->data;
      if (derived[c]->kind == VT_DERIVED_FACTOR) {
        status = convertDerivedFactor(values, derived[c], slots(slots(info)[c])[0], nrow);
        continue;
      }
      for (int r = 0; r < nrow; ++r)
        values[r] = exprValue(derived[c], r);
      continue;
    }
    const TelvarObject* col = slots(dsColumns(input))[source[c]];
    const TelvarObject* want = slots(slots(info)[c])[0];
    const TelvarObject* have = inputLevels(input, source[c], inputMetaData, nameAt(info, c));
    double* out = (double*)slots(dsColumns(converted))[c]->data;
    if (want->length > 0) {
      if (have == NULL || col->mode == TELVAR_STRING || col->mode == TELVAR_BOOLEAN) {
        status = TELVAR_WRONG_MODE;
      } else {
        status = convertFactorColumn(out, col, have, want, nrow);
      }
    } else if (col->mode == TELVAR_FACTOR || col->mode == TELVAR_STRING) {
      status = TELVAR_WRONG_MODE;
    } else {
      for (int r = 0; r < nrow; ++r)
        out[r] = TelvarDataSet_getNonStringValue(input, source[c], r);
    }
  }
  for (int c = 0; derived != NULL && c < ncol; ++c)
    free(derived[c]);
  free(derived);
  free(source);
  free(modes);
  return status;
}

/* ===================================================================== model helpers */

int Telvar_convertForModel(TelvarObject* converted, const double*** columnsOut, int* nRowOut,
                           int* nColOut, const TelvarObject* model, const TelvarObject* input,
                           const TelvarObject* inputMetaData) {
  if (columnsOut == NULL || nRowOut == NULL || nColOut == NULL || model == NULL ||
      model->mode != TELVAR_META_DATA || model->length < 1 || model->data == NULL) {
    return TELVAR_INVALID;
  }
  int status = TelvarMetaData_InputConvert(converted, slots(model)[0], input, inputMetaData);
  if (status != TELVAR_OK) return status;
  int ncol = dsDim(converted, 1);
  const double** columns = calloc((size_t)ncol + 1, sizeof(double*));
  if (columns == NULL) return TELVAR_NOMEM;
  for (int c = 0; c < ncol; ++c)
    columns[c] = (const double*)slots(dsColumns(converted))[c]->data;
  *columnsOut = columns;
  *nRowOut = dsDim(converted, 0);
  *nColOut = ncol;
  return TELVAR_OK;
}

/* ===================================================================== regression design */

/* 1 + the largest split category of a factor column's entry (0 when every level has a negative
 * category). */
static int splitWidth(const TelvarObject* entry) {
  const TelvarObject* splits = slots(entry)[1];
  int width = 0;
  for (int32_t lv = 0; lv < splits->length; ++lv) {
    int32_t category = ((const int32_t*)splits->data)[lv];
    if (category + 1 > width) width = category + 1;
  }
  return width;
}

/* One run of a term's column names: the converted column, how often it is named, whether it
 * enters as indicator columns, and its number of design columns. */
typedef struct DesignBlock {
  int column;
  int count;
  int indicator;
  int width;
} DesignBlock;

/* Reads the run of equal names of term starting at *pos into block and moves *pos past it. */
static int nextBlock(DesignBlock* block, const TelvarObject* info, const TelvarObject* term,
                     int* pos) {
  const char* name = texts(term)[*pos];
  int count = 0;
  while (*pos < term->length && strcmp(texts(term)[*pos], name) == 0) {
    ++count;
    ++*pos;
  }
  int column = -1;
  if (TelvarList_findName(&column, info, name) != TELVAR_OK) return TELVAR_INVALID;
  const TelvarObject* entry = slots(info)[column];
  block->column = column;
  block->count = count;
  block->indicator = 0;
  block->width = 1;
  const TelvarObject* poly = polyCoefficients(entry);
  if (poly != NULL) { /* named once: its degree of basis columns */
    block->indicator = 2;
    block->width = (int)((const double*)poly->data)[0];
    return count == 1 ? TELVAR_OK : TELVAR_INVALID;
  }
  if (slots(entry)[0]->length > 0) {
    int categories = splitWidth(entry);
    if (count == categories) {
      block->indicator = 1;
      block->width = categories;
    } else if (count != 1) {
      return TELVAR_INVALID;
    }
  }
  return TELVAR_OK;
}

/* R's poly() basis at x into out[0..k): the powers x, x^2, ... (raw), else the orthogonal
 * polynomials of R's predict.poly recurrence p0 = 1, p1 = x - alpha[0],
 * p(j+1) = (x - alpha[j]) p(j) - (norm2[j+2] / norm2[j+1]) p(j-1), column j = p(j) /
 * sqrt(norm2[j+1]). */
static void polyValues(double* out, const TelvarObject* coef, double x) {
  const double* v = (const double*)coef->data;
  int degree = (int)v[0];
  if (v[1] == 1) {
    for (int j = 0; j < degree; ++j)
      out[j] = j == 0 ? x : j == 1 ? x * x : pow(x, j + 1);
    return;
  }
  const double* alpha = v + 2;
  const double* norm2 = v + 2 + degree;
  double before = 1.0, current = x - alpha[0];
  out[0] = current / sqrt(norm2[2]);
  for (int j = 1; j < degree; ++j) {
    double next = (x - alpha[j]) * current - (norm2[j + 1] / norm2[j]) * before;
    before = current;
    current = next;
    out[j] = current / sqrt(norm2[j + 2]);
  }
}

/* The block's design values of one converted value x into out[0..width). */
static void blockValues(double* out, const DesignBlock* block, const TelvarObject* info, double x) {
  const TelvarObject* entry = slots(info)[block->column];
  if (block->indicator == 2) {
    polyValues(out, polyCoefficients(entry), x);
    return;
  }
  if (!block->indicator) {
    double value = x; /* a factor named once: its level code */
    if (slots(entry)[0]->length == 0) {
      for (int k = 1; k < block->count; ++k)
        value *= x;
    }
    out[0] = value;
    return;
  }
  const TelvarObject* splits = slots(entry)[1];
  int code = x >= 0 && x < splits->length ? (int)x : -1;
  int32_t category = code >= 0 ? ((const int32_t*)splits->data)[code] : -1;
  for (int j = 0; j < block->width; ++j)
    out[j] = isnan(x) ? NAN : category == -2 ? -1.0 : 0.0;
  if (category >= 0) out[category] = 1.0;
}

int Telvar_designWidth(int* widthOut, const TelvarObject* metaData) {
  if (widthOut == NULL || !TelvarMetaData_isValid(metaData)) return TELVAR_INVALID;
  const TelvarObject* info = slots(metaData)[0];
  const TelvarObject* terms = slots(metaData)[1];
  if (terms->length == 0) {
    *widthOut = info->length;
    return TELVAR_OK;
  }
  int total = 0;
  for (int32_t t = 0; t < terms->length; ++t) {
    const TelvarObject* term = slots(terms)[t];
    if (term->length == 0) return TELVAR_INVALID;
    int width = 1;
    for (int pos = 0; pos < term->length;) {
      DesignBlock block;
      if (nextBlock(&block, info, term, &pos) != TELVAR_OK) return TELVAR_INVALID;
      if (block.width > 0 && width > INT32_MAX / block.width) return TELVAR_INVALID;
      width *= block.width;
    }
    if (width > INT32_MAX - total) return TELVAR_INVALID;
    total += width;
  }
  *widthOut = total;
  return TELVAR_OK;
}

int Telvar_designRow(double* out, double* scratch, const TelvarObject* metaData,
                     const double* const* x, int row) {
  if (out == NULL || scratch == NULL || x == NULL || !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  const TelvarObject* info = slots(metaData)[0];
  const TelvarObject* terms = slots(metaData)[1];
  if (terms->length == 0) {
    for (int32_t c = 0; c < info->length; ++c)
      out[c] = x[c][row];
    return TELVAR_OK;
  }
  int next = 0; /* first free design column */
  for (int32_t t = 0; t < terms->length; ++t) {
    const TelvarObject* term = slots(terms)[t];
    double* product = out + next;
    int width = 0;
    for (int pos = 0; pos < term->length;) {
      DesignBlock block;
      if (nextBlock(&block, info, term, &pos) != TELVAR_OK) return TELVAR_INVALID;
      if (width == 0) {
        blockValues(product, &block, info, x[block.column][row]);
        width = block.width;
        continue;
      }
      /* product (width columns) times block: every product column with every block column,
       * the product's columns varying slowest. */
      double* values = scratch;
      double* combined = scratch + block.width;
      blockValues(values, &block, info, x[block.column][row]);
      for (int a = 0; a < width; ++a) {
        for (int b = 0; b < block.width; ++b)
          combined[a * block.width + b] = product[a] * values[b];
      }
      width *= block.width;
      memcpy(product, combined, (size_t)width * sizeof(double));
    }
    next += width;
  }
  return TELVAR_OK;
}

/* Adds the values of the model's "offset" expressions (element 3, when present) to eta. */
static int addOffsets(double* eta, const TelvarObject* model, const TelvarObject* input, int nrow) {
  const TelvarObject* offsets = model->length > 3 ? Telvar_element(model, 3) : NULL;
  if (offsets == NULL) return TELVAR_OK;
  VTExpr* e = malloc(sizeof(VTExpr));
  if (e == NULL) return TELVAR_NOMEM;
  int status = TELVAR_OK;
  for (int32_t k = 0; k < offsets->length && status == TELVAR_OK; ++k) {
    status = exprParse(e, texts(offsets)[k], input, 1);
    for (int row = 0; row < nrow && status == TELVAR_OK; ++row)
      eta[row] += exprValue(e, row);
  }
  if (status == TELVAR_WRONG_MODE) {
    Telvar_error("the offset %s needs numeric columns\n", e->text);
  }
  free(e);
  return status;
}

int Telvar_linearPredictor(double** etaOut, int* nRowOut, const TelvarObject* model,
                           const TelvarObject* input, const TelvarObject* inputMetaData) {
  if (etaOut == NULL || nRowOut == NULL) return TELVAR_INVALID;
  const TelvarObject* coefVector = Telvar_element(model, 1);
  if (!TelvarVector_isDouble(coefVector)) return TELVAR_INVALID;
  const double* coef = (const double*)coefVector->data;
  TelvarObject converted;
  memset(&converted, 0, sizeof(converted));
  const double** x = NULL;
  int nrow = 0, ncol = 0, width = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK) status = Telvar_designWidth(&width, slots(model)[0]);
  if (status == TELVAR_OK && coefVector->length != width + 1) status = TELVAR_INVALID;
  double* design = NULL;
  double* eta = NULL;
  if (status == TELVAR_OK) {
    design = malloc(((size_t)width * 3 + 1) * sizeof(double));
    eta = malloc(((size_t)nrow + 1) * sizeof(double));
    if (design == NULL || eta == NULL) status = TELVAR_NOMEM;
  }
  for (int row = 0; row < nrow && status == TELVAR_OK; ++row) {
    status = Telvar_designRow(design, design + width, slots(model)[0], x, row);
    double sum = coef[0];
    for (int j = 0; j < width; ++j)
      sum += coef[j + 1] * design[j];
    eta[row] = sum;
  }
  if (status == TELVAR_OK) status = addOffsets(eta, model, input, nrow);
  free(design);
  free((void*)x);
  TelvarObject_destroy(&converted);
  if (status != TELVAR_OK) {
    free(eta);
    return status;
  }
  *etaOut = eta;
  *nRowOut = nrow;
  return TELVAR_OK;
}

/* The fitting library's overflow guards: exponents are clamped to the logarithms of the square
 * roots of the largest and smallest normal doubles, so no inverse link overflows. */
static double expClamped(double eta) {
  const double lowest = -354.19820926613204, highest = 354.891356446692;
  return exp(eta < lowest ? lowest : eta > highest ? highest : eta);
}

static const char* const kLinks[] = {"identity", "log",     "logit", "probit",
                                     "cloglog",  "inverse", "sqrt",  "1/mu^2"};

int Telvar_linkCode(int* codeOut, const char* link) {
  if (codeOut == NULL || link == NULL) return TELVAR_INVALID;
  for (int k = 0; k < (int)(sizeof(kLinks) / sizeof(kLinks[0])); ++k) {
    if (strcmp(link, kLinks[k]) == 0) {
      *codeOut = k;
      return TELVAR_OK;
    }
  }
  return TELVAR_INVALID;
}

double Telvar_inverseLink(int code, double eta) {
  switch (code) {
    case 0:
      return eta;
    case 1:
      return expClamped(eta);
    case 2: {
      double e = expClamped(eta);
      return e / (e + 1.0);
    }
    case 3:
      return 0.5 * erfc(-(eta / 1.41421356237309504880));
    case 4:
      return 1.0 - expClamped(-expClamped(eta));
    case 5:
      return 1.0 / eta;
    case 6:
      return eta * eta;
    case 7:
      return sqrt(1.0 / eta);
    default:
      return NAN;
  }
}

int Telvar_modelLink(int* codeOut, const TelvarObject* model, int defaultCode) {
  int index = 0;
  char text[TELVAR_STRING_SLOT];
  if (TelvarList_findName(&index, model, "link") != TELVAR_OK) {
    *codeOut = defaultCode;
    return TELVAR_OK;
  }
  const TelvarObject* link = Telvar_element(model, index);
  if (link == NULL || link->length != 1 ||
      TelvarVector_getStringAt(text, (int)sizeof(text), link, 0) != TELVAR_OK) {
    return TELVAR_INVALID;
  }
  return Telvar_linkCode(codeOut, text);
}

int Telvar_regressionScores(TelvarObject* scores, const TelvarObject* model,
                            const TelvarObject* input, const TelvarObject* inputMetaData,
                            int defaultLink, int ncol, const char* const* names) {
  int link = 0;
  if (scores == NULL || ncol < 1 || ncol > 2 ||
      Telvar_modelLink(&link, model, defaultLink) != TELVAR_OK) {
    return TELVAR_INVALID;
  }
  double* eta = NULL;
  int nrow = 0;
  int status = Telvar_linearPredictor(&eta, &nrow, model, input, inputMetaData);
  TelvarObject result;
  memset(&result, 0, sizeof(result));
  if (status == TELVAR_OK) status = Telvar_createScores(&result, nrow, ncol, NULL, names);
  if (status == TELVAR_OK) {
    double* mu = (double*)slots(dsColumns(&result))[0]->data;
    double* other = ncol > 1 ? (double*)slots(dsColumns(&result))[1]->data : NULL;
    for (int row = 0; row < nrow; ++row) {
      mu[row] = Telvar_inverseLink(link, eta[row]);
      if (other != NULL) other[row] = 1.0 - mu[row];
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(eta);
  return status;
}

int Telvar_isRegressionModel(const TelvarObject* model) {
  static const char* const names[] = {"metaData", "coefficients", "link", "offset"};
  int link = 0;
  if (model == NULL || model->length > 4 || model->length < 2 ||
      !Telvar_isModelShape(model, model->length, names, 0)) {
    return 0;
  }
  const TelvarObject* coef = Telvar_element(model, 1);
  const TelvarObject* offsets = model->length > 3 ? Telvar_element(model, 3) : NULL;
  if (offsets != NULL && (!TelvarVector_isString(offsets) || offsets->length < 1)) return 0;
  return TelvarVector_isDouble(coef) && coef->length >= 1 &&
         Telvar_modelLink(&link, model, 0) == TELVAR_OK;
}

int Telvar_createRegressionModel(TelvarObject* model, const char* className,
                                 const TelvarObject* metaData, int nCoefficients,
                                 const double* coefficients, const char* link) {
  return Telvar_createRegressionModelWithOffsets(model, className, metaData, nCoefficients,
                                                 coefficients, link, 0, NULL);
}

int Telvar_createRegressionModelWithOffsets(TelvarObject* model, const char* className,
                                            const TelvarObject* metaData, int nCoefficients,
                                            const double* coefficients, const char* link,
                                            int nOffsets, const char* const* offsets) {
  static const char* const names[] = {"metaData", "coefficients", "link", "offset"};
  int code = 0;
  if (model == NULL || nCoefficients < 1 || coefficients == NULL ||
      !TelvarMetaData_isValid(metaData) || (link != NULL && Telvar_linkCode(&code, link) != 1) ||
      nOffsets < 0 || (nOffsets > 0 && (offsets == NULL || link == NULL))) {
    return TELVAR_INVALID;
  }
  TelvarObject coef, linkText, offsetTexts;
  memset(&coef, 0, sizeof(coef));
  memset(&linkText, 0, sizeof(linkText));
  memset(&offsetTexts, 0, sizeof(offsetTexts));
  int status = TelvarVector_create(&coef, nCoefficients, TELVAR_DOUBLE, coefficients);
  if (status == TELVAR_OK && link != NULL) {
    status = TelvarVector_create(&linkText, 1, TELVAR_STRING, &link);
  }
  for (int k = 0; k < nOffsets && status == TELVAR_OK; ++k) {
    size_t n = offsets[k] != NULL ? strlen(offsets[k]) : 0;
    if (n == 0 || n >= TELVAR_STRING_SLOT) status = TELVAR_INVALID;
  }
  if (status == TELVAR_OK && nOffsets > 0) {
    status = TelvarVector_create(&offsetTexts, nOffsets, TELVAR_STRING, offsets);
  }
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData, &coef, &linkText, &offsetTexts};
    int n = nOffsets > 0 ? 4 : link != NULL ? 3 : 2;
    status = Telvar_createModelList(model, className, n, elements, names);
  }
  TelvarObject_destroy(&coef);
  TelvarObject_destroy(&linkText);
  TelvarObject_destroy(&offsetTexts);
  return status;
}

int Telvar_createScores(TelvarObject* scores, int nrow, int ncol, const int* modes,
                        const char* const* names) {
  if (scores == NULL || ncol < 1) return TELVAR_INVALID;
  int* all = malloc((size_t)ncol * sizeof(int));
  if (all == NULL) return TELVAR_NOMEM;
  for (int c = 0; c < ncol; ++c)
    all[c] = modes != NULL ? modes[c] : TELVAR_DOUBLE;
  int status = TelvarDataSet_createFromInput(scores, nrow, ncol, all, names, NULL);
  free(all);
  return status;
}

int Telvar_createModelList(TelvarObject* model, const char* className, int n,
                           const TelvarObject* const* elements, const char* const* names) {
  if (model == NULL || n < 1 || elements == NULL || names == NULL ||
      !TelvarMetaData_isValid(elements[0])) {
    return TELVAR_INVALID;
  }
  for (int i = 0; i < n; ++i) {
    if (!TelvarObject_isValid(elements[i])) return TELVAR_INVALID;
  }
  int status = TelvarList_create(model, n, TELVAR_META_DATA);
  if (status != TELVAR_OK) return status;
  setClassName(model, className);
  TelvarList_setNamesFromStrings(model, names);
  for (int i = 0; i < n && status == TELVAR_OK; ++i) {
    status = cloneObject(slots(model)[i], elements[i]);
  }
  return status;
}

int Telvar_invalidModel(const char* file, int line) {
  Telvar_error("%s(%d) : ", file, line);
  Telvar_error("Invalid pModel\n");
  return TELVAR_INVALID;
}

/* ===================================================================== text streams */

int TelvarDataFile_openForWrite(FILE** fileOut, const char* fileName) {
  if (fileOut == NULL) return TELVAR_INVALID;
  *fileOut = fileName != NULL ? fopen(fileName, "w") : NULL;
  return *fileOut != NULL ? TELVAR_OK : TELVAR_INVALID;
}

int TelvarDataFile_openForRead(FILE** fileOut, const char* fileName) {
  if (fileOut == NULL) return TELVAR_INVALID;
  *fileOut = fileName != NULL ? fopen(fileName, "r") : NULL;
  return *fileOut != NULL ? TELVAR_OK : TELVAR_INVALID;
}

/* Reads one line, keeping at most 255 characters (the rest of a longer line is skipped) and
 * dropping the newline and a carriage return before it. 0 at end of stream. */
static int readLine(FILE* stream, char line[VT_STREAM_LINE]) {
  size_t n = 0;
  int c = fgetc(stream);
  if (c == EOF) return 0;
  while (c != EOF && c != '\n') {
    if (n < VT_STREAM_LINE - 1) line[n++] = (char)c;
    c = fgetc(stream);
  }
  if (n > 0 && line[n - 1] == '\r') --n;
  line[n] = '\0';
  return 1;
}

/* Reads one whole line of any length into a new buffer (*lineOut, freed by the caller). */
static int readWholeLine(char** lineOut, FILE* stream) {
  size_t capacity = 256;
  size_t n = 0;
  char* line = malloc(capacity);
  if (line == NULL) return TELVAR_NOMEM;
  int c = fgetc(stream);
  if (c == EOF) {
    free(line);
    return TELVAR_INVALID;
  }
  while (c != EOF && c != '\n') {
    if (n + 1 >= capacity) {
      char* bigger = realloc(line, capacity * 2);
      if (bigger == NULL) {
        free(line);
        return TELVAR_NOMEM;
      }
      line = bigger;
      capacity *= 2;
    }
    line[n++] = (char)c;
    c = fgetc(stream);
  }
  line[n] = '\0';
  *lineOut = line;
  return TELVAR_OK;
}

/* Bytes left in a seekable stream, or -1. */
static long remainingBytes(FILE* stream) {
  long here = ftell(stream);
  if (here < 0 || fseek(stream, 0, SEEK_END) != 0) return -1;
  long end = ftell(stream);
  if (fseek(stream, here, SEEK_SET) != 0 || end < here) return -1;
  return end - here;
}

/* A declared element count is plausible when the stream can still hold that many elements. */
static int plausibleLength(FILE* stream, long length, int mode) {
  if (length < 0 || length >= INT32_MAX) return 0;
  if (mode == TELVAR_BOOLEAN) return length <= VT_MAX_BOOLEAN_LENGTH;
  long left = remainingBytes(stream);
  if (left < 0) return length <= VT_MAX_UNSEEKABLE_LENGTH;
  /* A list element needs at least its header ("\n$class\n", a class, "$mode\n", a mode). */
  if (isListMode(mode)) return length <= left / 16;
  return length <= left;
}

static int parseInt(long* out, const char* text) {
  char* end;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (end == text || errno != 0 || v < INT32_MIN || v > INT32_MAX) return 0;
  while (isspace((unsigned char)*end))
    ++end;
  if (*end != '\0') return 0;
  *out = v;
  return 1;
}

static int expectLine(FILE* stream, const char* expected) {
  char line[VT_STREAM_LINE];
  return readLine(stream, line) && strcmp(line, expected) == 0;
}

/* Reads the "$length" line and the length. */
static int readLength(long* lengthOut, FILE* stream, int mode) {
  char line[VT_STREAM_LINE];
  if (!expectLine(stream, "$length") || !readLine(stream, line) || !parseInt(lengthOut, line)) {
    return TELVAR_INVALID;
  }
  return plausibleLength(stream, *lengthOut, mode) ? TELVAR_OK : TELVAR_INVALID;
}

int TelvarVersion_writeToStream(FILE* stream) {
  if (stream == NULL) return TELVAR_INVALID;
  fprintf(stream, "# VTCSRC data's dump\n$vtcsrcVersion\n%6.2f\n", 1.1);
  return TELVAR_OK;
}

int TelvarVersion_readFromStreamAndValidate(FILE* stream) {
  char line[VT_STREAM_LINE];
  if (stream == NULL) return TELVAR_INVALID;
  for (int i = 0; i < 3; ++i) {
    if (fgets(line, (int)sizeof(line), stream) == NULL) return TELVAR_INVALID;
  }
  float version = 0.0f;
  if (sscanf(line, "%f", &version) != 1 || version != 1.1f) return TELVAR_INVALID;
  return TELVAR_OK;
}

int TelvarObjectHeader_writeToStream(FILE* stream, const char* className, int mode) {
  if (stream == NULL) return TELVAR_INVALID;
  if (className == NULL || className[0] == '\0') className = classOfMode(mode);
  fprintf(stream, "\n$class\n%s\n$mode\n%d\n", className, mode);
  return TELVAR_OK;
}

static int knownMode(long mode) {
  return mode == TELVAR_NULL || isVectorMode((int)mode) || isListMode((int)mode);
}

/* Reads a header: the class line into className (255 characters at most) and the mode. */
static int readHeader(int* modeOut, char className[VT_STREAM_LINE], FILE* stream) {
  char line[VT_STREAM_LINE];
  do {
    if (!readLine(stream, line)) return TELVAR_INVALID;
  } while (strncmp(line, "$class", 6) != 0);
  if (!readLine(stream, className)) return TELVAR_INVALID;
  do {
    if (!readLine(stream, line)) return TELVAR_INVALID;
  } while (strncmp(line, "$mode", 5) != 0);
  long mode;
  if (!readLine(stream, line) || !parseInt(&mode, line) || !knownMode(mode)) {
    return TELVAR_INVALID;
  }
  const char* expected = classOfMode((int)mode);
  if (strcmp(expected, "unknown") != 0 && strncmp(className, expected, strlen(expected)) != 0) {
    return TELVAR_INVALID;
  }
  *modeOut = (int)mode;
  return TELVAR_OK;
}

int TelvarObjectHeader_readFromStream(int* modeOut, FILE* stream) {
  char className[VT_STREAM_LINE];
  if (modeOut == NULL || stream == NULL) return TELVAR_INVALID;
  return readHeader(modeOut, className, stream);
}

/* A text as one stream token: written as it is unless it is blank-free and does not start with
 * a quote; otherwise in quotes with backslash escapes for quote, backslash, newline and CR. */
static void writeStreamText(FILE* stream, const char* text) {
  int plain = text[0] != '"';
  for (const char* p = text; *p != '\0' && plain; ++p)
    plain = !isspace((unsigned char)*p);
  if (plain) {
    fprintf(stream, " %s", text);
    return;
  }
  fputs(" \"", stream);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') fputc('\\', stream);
    if (*p == '\n' || *p == '\r') {
      fputs(*p == '\n' ? "\\n" : "\\r", stream);
    } else {
      fputc(*p, stream);
    }
  }
  fputc('"', stream);
}

/* 1 when every element of a float or double vector is finite (the stream holds no NaN). */
static int allFinite(const TelvarObject* vec) {
  for (int32_t i = 0; i < vec->length; ++i) {
    double x = vec->mode == TELVAR_FLOAT ? (double)((const float*)vec->data)[i]
                                         : ((const double*)vec->data)[i];
    if (!isfinite(x)) return 0;
  }
  return 1;
}

int TelvarVector_writeToStream(FILE* stream, const TelvarObject* vec) {
  if (stream == NULL || !TelvarVector_isValid(vec)) return TELVAR_INVALID;
  if ((vec->mode == TELVAR_FLOAT || vec->mode == TELVAR_DOUBLE) && !allFinite(vec)) {
    return TELVAR_INVALID;
  }
  fprintf(stream, "$length\n%d\n", (int)vec->length);
  if (vec->length < 1) return TELVAR_OK;
  fprintf(stream, "$data\n");
  for (int32_t i = 0; i < vec->length; ++i) {
    switch (vec->mode) {
      case TELVAR_LONG:
        fprintf(stream, " %d", (int)((const int32_t*)vec->data)[i]);
        break;
      case TELVAR_FLOAT:
        fprintf(stream, " %.9g", (double)((const float*)vec->data)[i]);
        break;
      case TELVAR_DOUBLE:
        fprintf(stream, " %.17g", ((const double*)vec->data)[i]);
        break;
      case TELVAR_STRING:
        writeStreamText(stream, texts(vec)[i]);
        break;
      default: /* booleans carry no element text */
        break;
    }
  }
  fprintf(stream, " \n");
  return TELVAR_OK;
}

/* Reads the quoted text starting at the quote *cursor (writeStreamText's form) into slot;
 * returns the position after the closing quote, or NULL when the text is unterminated or
 * longer than a slot. */
static char* parseQuotedText(char* slot, char* cursor) {
  size_t n = 0;
  for (char* p = cursor + 1; *p != '\0'; ++p) {
    char c = *p;
    if (c == '"') {
      slot[n] = '\0';
      return p + 1;
    }
    if (c == '\\') {
      c = *++p;
      if (c == 'n') c = '\n';
      if (c == 'r') c = '\r';
      if (c == '\0') return NULL;
    }
    if (n + 1 >= TELVAR_STRING_SLOT) return NULL;
    slot[n++] = c;
  }
  return NULL;
}

/* Parses the element line of a vector; strings missing at the end of the line stay empty (an
 * empty text writes no characters). */
static int parseElements(TelvarObject* vec, char* line) {
  char* cursor = line;
  for (int32_t i = 0; i < vec->length; ++i) {
    while (isspace((unsigned char)*cursor))
      ++cursor;
    if (*cursor == '\0') return vec->mode == TELVAR_STRING ? TELVAR_OK : TELVAR_INVALID;
    if (vec->mode == TELVAR_STRING && *cursor == '"') {
      cursor = parseQuotedText(texts(vec)[i], cursor);
      if (cursor == NULL || (*cursor != '\0' && !isspace((unsigned char)*cursor))) {
        return TELVAR_INVALID;
      }
      continue;
    }
    char* end = cursor;
    while (*end != '\0' && !isspace((unsigned char)*end))
      ++end;
    char saved = *end;
    *end = '\0';
    char* parsedEnd = cursor;
    long lv;
    switch (vec->mode) {
      case TELVAR_LONG:
        if (!parseInt(&lv, cursor)) return TELVAR_INVALID;
        ((int32_t*)vec->data)[i] = (int32_t)lv;
        parsedEnd = end;
        break;
      case TELVAR_FLOAT:
        ((float*)vec->data)[i] = strtof(cursor, &parsedEnd);
        if (!isfinite(((float*)vec->data)[i])) return TELVAR_INVALID;
        break;
      case TELVAR_DOUBLE:
        ((double*)vec->data)[i] = strtod(cursor, &parsedEnd);
        if (!isfinite(((double*)vec->data)[i])) return TELVAR_INVALID;
        break;
      default:
        copyText(texts(vec)[i], cursor);
        parsedEnd = end;
        break;
    }
    if (parsedEnd != end) return TELVAR_INVALID;
    *end = saved;
    cursor = end;
  }
  return TELVAR_OK;
}

int TelvarVector_createFromStream(TelvarObject* vec, int mode, FILE* stream) {
  if (vec == NULL || stream == NULL || !isVectorMode(mode)) return TELVAR_INVALID;
  long length;
  int status = readLength(&length, stream, mode);
  if (status != TELVAR_OK) return status;
  status = TelvarVector_create(vec, (int)length, mode, NULL);
  if (status != TELVAR_OK || length == 0) return status;
  if (!expectLine(stream, "$data")) return TELVAR_INVALID;
  char* line = NULL;
  status = readWholeLine(&line, stream);
  if (status != TELVAR_OK) return status;
  if (mode != TELVAR_BOOLEAN) status = parseElements(vec, line);
  free(line);
  return status;
}

static int writeObject(FILE* stream, const TelvarObject* obj);

int TelvarList_writeToStream(FILE* stream, const TelvarObject* list) {
  if (stream == NULL || !TelvarList_isValid(list)) return TELVAR_INVALID;
  fprintf(stream, "$length\n%d\n$data\n", (int)list->length);
  if (list->length == 0) return TELVAR_OK;
  for (int32_t i = 0; i <= list->length; ++i) {
    int status = writeObject(stream, slots(list)[i]);
    if (status != TELVAR_OK) return status;
  }
  return TELVAR_OK;
}

/* The className is written when it agrees with the mode's class, else the mode's class. */
static int writeObject(FILE* stream, const TelvarObject* obj) {
  const char* expected = classOfMode(obj->mode);
  const char* name = obj->className;
  if (strcmp(expected, "unknown") != 0 && strncmp(name, expected, strlen(expected)) != 0) {
    name = NULL;
  }
  if (memchr(obj->className, '\0', sizeof(obj->className)) == NULL) name = NULL;
  TelvarObjectHeader_writeToStream(stream, name, obj->mode);
  if (obj->mode == TELVAR_NULL) return TELVAR_OK;
  if (isVectorMode(obj->mode)) return TelvarVector_writeToStream(stream, obj);
  return TelvarList_writeToStream(stream, obj);
}

int TelvarObject_writeToStream(FILE* stream, const TelvarObject* obj) {
  if (stream == NULL || !TelvarObject_isValid(obj)) return TELVAR_INVALID;
  return writeObject(stream, obj);
}

static int readObject(TelvarObject* obj, FILE* stream, int depth);

static int readListBody(TelvarObject* list, int mode, FILE* stream, int depth) {
  long length;
  int status = readLength(&length, stream, mode);
  if (status != TELVAR_OK) return status;
  if (!expectLine(stream, "$data")) return TELVAR_INVALID;
  status = TelvarObject_alloc(list, (int)length, mode);
  if (status != TELVAR_OK) return status;
  for (long i = 0; i <= length && length > 0; ++i) {
    status = readObject(slots(list)[i], stream, depth + 1);
    if (status != TELVAR_OK) return status;
  }
  return TelvarObject_isValid(list) ? TELVAR_OK : TELVAR_INVALID;
}

int TelvarList_createFromStream(TelvarObject* list, int mode, FILE* stream) {
  if (list == NULL || stream == NULL || !isListMode(mode)) return TELVAR_INVALID;
  return readListBody(list, mode, stream, 0);
}

static int readObject(TelvarObject* obj, FILE* stream, int depth) {
  char className[VT_STREAM_LINE];
  int mode;
  if (depth > VT_MAX_DEPTH) return TELVAR_INVALID;
  int status = readHeader(&mode, className, stream);
  if (status != TELVAR_OK) return status;
  if (mode == TELVAR_NULL) {
    TelvarObject_alloc(obj, 0, TELVAR_NULL);
    return TELVAR_OK;
  }
  if (isVectorMode(mode)) {
    status = TelvarVector_createFromStream(obj, mode, stream);
  } else {
    status = readListBody(obj, mode, stream, depth);
  }
  /* Kinds without a class of their own (metadata, models) keep the class line they carried. */
  if (strcmp(classOfMode(mode), "unknown") == 0) setClassName(obj, className);
  return status;
}

int TelvarObject_createFromStream(TelvarObject* obj, FILE* stream) {
  if (obj == NULL || stream == NULL) return TELVAR_INVALID;
  memset(obj, 0, sizeof(TelvarObject));
  return readObject(obj, stream, 0);
}

int TelvarObject_writeToFile(const char* fileName, const TelvarObject* obj) {
  if (!TelvarObject_isValid(obj)) return TELVAR_INVALID;
  FILE* file = NULL;
  int status = TelvarDataFile_openForWrite(&file, fileName);
  if (status != TELVAR_OK) return status;
  TelvarVersion_writeToStream(file);
  status = TelvarObject_writeToStream(file, obj);
  if (fclose(file) != 0 && status == TELVAR_OK) status = TELVAR_INVALID;
  if (status != TELVAR_OK) remove(fileName); /* no partial model file */
  return status;
}

int TelvarObject_createFromFile(TelvarObject* obj, const char* fileName) {
  if (obj == NULL) return TELVAR_INVALID;
  FILE* file = NULL;
  int status = TelvarDataFile_openForRead(&file, fileName);
  if (status != TELVAR_OK) return status;
  status = TelvarVersion_readFromStreamAndValidate(file);
  if (status == TELVAR_OK) status = TelvarObject_createFromStream(obj, file);
  fclose(file);
  return status;
}

/* ===================================================================== comma-separated reader */

/* RFC 4180 records read as R's read.csv reads them: fields separated by commas, records ended
 * by LF, CR LF or a lone CR, quoted fields holding commas, line ends and doubled quotes, empty
 * lines skipped. */
typedef struct CsvRecord {
  char* text;      /* the fields one after another, each NUL-terminated */
  size_t size;     /* bytes used in text */
  size_t capacity; /* bytes held by text */
  size_t* starts;  /* offset of each field in text */
  char* quoted;    /* 1 for a field that was quoted */
  int n;           /* fields */
  int room;        /* entries held by starts and quoted */
  long line;       /* line of the file the record starts on */
} CsvRecord;

typedef struct CsvCursor {
  const char* p;
  const char* end;
  long line;
  const char* fileName;
} CsvCursor;

static void csvRecordFree(CsvRecord* r) {
  free(r->text);
  free(r->starts);
  free(r->quoted);
  memset(r, 0, sizeof(*r));
}

static int csvPutChar(CsvRecord* r, char c) {
  if (r->size + 1 >= r->capacity) {
    size_t capacity = r->capacity < 64 ? 64 : r->capacity * 2;
    char* bigger = realloc(r->text, capacity);
    if (bigger == NULL) return TELVAR_NOMEM;
    r->text = bigger;
    r->capacity = capacity;
  }
  r->text[r->size++] = c;
  return TELVAR_OK;
}

static int csvStartField(CsvRecord* r, int quoted) {
  if (r->n == r->room) {
    int room = r->room < 8 ? 8 : r->room * 2;
    size_t* starts = realloc(r->starts, (size_t)room * sizeof(size_t));
    if (starts == NULL) return TELVAR_NOMEM;
    r->starts = starts;
    char* flags = realloc(r->quoted, (size_t)room);
    if (flags == NULL) return TELVAR_NOMEM;
    r->quoted = flags;
    r->room = room;
  }
  r->starts[r->n] = r->size;
  r->quoted[r->n++] = (char)quoted;
  return TELVAR_OK;
}

static const char* csvFieldAt(const CsvRecord* r, int k) {
  return r->text + r->starts[k];
}

/* Consumes a line end at the cursor (LF, CR LF or CR); 1 when there was one. */
static int csvLineEnd(CsvCursor* cur) {
  if (cur->p >= cur->end || (*cur->p != '\n' && *cur->p != '\r')) return 0;
  if (*cur->p == '\r' && cur->p + 1 < cur->end && cur->p[1] == '\n') ++cur->p;
  ++cur->p;
  ++cur->line;
  return 1;
}

/* Reads one field (quoted or not) up to its separator; 2 with a message when malformed. */
static int csvReadField(CsvRecord* r, CsvCursor* cur) {
  int quoted = cur->p < cur->end && *cur->p == '"';
  int status = csvStartField(r, quoted);
  if (quoted) {
    ++cur->p;
    for (;;) {
      if (cur->p >= cur->end) {
        Telvar_error("%s: line %ld: a quoted field is not closed\n", cur->fileName, r->line);
        return TELVAR_INVALID;
      }
      char c = *cur->p;
      if (c == '"' && (cur->p + 1 >= cur->end || cur->p[1] != '"')) break;
      if (c == '"') ++cur->p;
      if ((c == '\n' || c == '\r') && status == TELVAR_OK) {
        status = csvPutChar(r, '\n');
        csvLineEnd(cur);
        continue;
      }
      if (status == TELVAR_OK) status = csvPutChar(r, c);
      ++cur->p;
    }
    ++cur->p;
    if (cur->p < cur->end && *cur->p != ',' && *cur->p != '\n' && *cur->p != '\r') {
      Telvar_error("%s: line %ld: text follows the closing quote of field %d\n", cur->fileName,
                   cur->line, r->n);
      return TELVAR_INVALID;
    }
  } else {
    while (cur->p < cur->end && *cur->p != ',' && *cur->p != '\n' && *cur->p != '\r') {
      if (status == TELVAR_OK) status = csvPutChar(r, *cur->p);
      ++cur->p;
    }
  }
  if (status == TELVAR_OK) status = csvPutChar(r, '\0');
  return status;
}

/* Reads the next record that is not an empty line: 1 read, 0 end of text, or a status other
 * than 1 (2 malformed, with a message; 3 no storage) as the negative. */
static int csvNextRecord(CsvRecord* r, CsvCursor* cur) {
  for (;;) {
    r->size = 0;
    r->n = 0;
    r->line = cur->line;
    if (cur->p >= cur->end) return 0;
    if (csvLineEnd(cur)) continue;
    for (;;) {
      int status = csvReadField(r, cur);
      if (status != TELVAR_OK) return -status;
      if (cur->p < cur->end && *cur->p == ',') {
        ++cur->p;
        continue;
      }
      csvLineEnd(cur);
      return 1;
    }
  }
}

/* The whole file in a new buffer (*textOut, freed by the caller). */
static int csvSlurp(char** textOut, size_t* sizeOut, FILE* file) {
  size_t capacity = 1 << 12, size = 0;
  char* text = malloc(capacity);
  if (text == NULL) return TELVAR_NOMEM;
  for (;;) {
    size += fread(text + size, 1, capacity - size, file);
    if (size < capacity) break;
    char* bigger = capacity < ((size_t)-1) / 2 ? realloc(text, capacity * 2) : NULL;
    if (bigger == NULL) {
      free(text);
      return TELVAR_NOMEM;
    }
    text = bigger;
    capacity *= 2;
  }
  if (ferror(file)) {
    free(text);
    return TELVAR_INVALID;
  }
  *textOut = text;
  *sizeOut = size;
  return TELVAR_OK;
}

/* A field without its leading and trailing blanks (R strips them from header names and
 * numbers), into out of size bytes; 0 when it does not fit. */
static int csvStripped(char* out, size_t size, const char* field) {
  while (*field == ' ' || *field == '\t')
    ++field;
  size_t n = strlen(field);
  while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == '\t'))
    --n;
  if (n >= size) return 0;
  memcpy(out, field, n);
  out[n] = '\0';
  return 1;
}

/* 1 for a missing value: an empty field or NA (as R's na.strings). */
static int csvIsMissing(const char* field) {
  char text[4];
  return csvStripped(text, sizeof(text), field) && (text[0] == '\0' || strcmp(text, "NA") == 0);
}

/* The number in field (blanks around it allowed); 0 when the field is not one number. */
static int csvNumber(double* out, const char* field) {
  char* end = NULL;
  while (*field == ' ' || *field == '\t')
    ++field;
  if (*field == '\0') return 0;
  double value = strtod(field, &end);
  while (*end == ' ' || *end == '\t')
    ++end;
  if (*end != '\0') return 0;
  *out = value;
  return 1;
}

/* Mode of the metadata column called name: 5 (later a factor) when it has levels, 4 when it
 * has none, 0 when the metadata does not name it. */
/* True when the derived column `expression` (exprCallName) reads the column `name`. */
static int exprMentions(const char* expression, const char* name) {
  size_t n = strlen(name);
  for (const char* p = expression + exprCallName(expression); *p != '\0';) {
    const char* start = p;
    if (*p == '`') {
      const char* close = strchr(p + 1, '`');
      if (close == NULL) return 0;
      if ((size_t)(close - p - 1) == n && strncmp(p + 1, name, n) == 0) return 1;
      p = close + 1;
    } else if (isdigit((unsigned char)*p) ||
               (*p == '.' && isdigit((unsigned char)p[1]))) { /* a number */
      while (isalnum((unsigned char)*p) || *p == '.')
        ++p;
    } else if (exprIsNameStart((unsigned char)*p)) {
      while (exprIsNameChar((unsigned char)*p))
        ++p;
      if ((size_t)(p - start) == n && strncmp(start, name, n) == 0 && *p != '(') return 1;
    } else {
      ++p;
    }
  }
  return 0;
}

static int metaDataMode(const TelvarObject* md, const char* name) {
  int index;
  if (md == NULL) return 0;
  if (TelvarList_findName(&index, slots(md)[0], name) != TELVAR_OK) {
    /* A column an arithmetic or poly() column reads is numeric (factor() reads either). */
    const TelvarObject* info = slots(md)[0];
    for (int32_t c = 0; c < info->length; ++c) {
      const char* derived = nameAt(info, c);
      if ((exprCallName(derived) > 0 || exprBasisCall(derived) == 5) &&
          exprMentions(derived, name)) {
        return TELVAR_DOUBLE;
      }
    }
    return 0;
  }
  return slots(slots(slots(md)[0])[index])[0]->length > 0 ? TELVAR_STRING : TELVAR_DOUBLE;
}

/* The column names of the header record (1 to 255 characters each, none twice). */
static int csvNames(TelvarObject* names, const CsvRecord* header, const char* fileName) {
  int status = TelvarVector_create(names, header->n, TELVAR_STRING, NULL);
  for (int c = 0; c < header->n && status == TELVAR_OK; ++c) {
    char* name = texts(names)[c];
    const char* field = csvFieldAt(header, c);
    int fits = header->quoted[c] ? strlen(field) < TELVAR_STRING_SLOT
                                 : csvStripped(name, TELVAR_STRING_SLOT, field);
    if (fits && header->quoted[c]) strcpy(name, field);
    if (!fits || name[0] == '\0') {
      Telvar_error("%s: line %ld: column %d has %s name\n", fileName, header->line, c + 1,
                   fits ? "an empty" : "a longer than 255-character");
      return TELVAR_INVALID;
    }
    for (int k = 0; k < c; ++k) {
      if (strcmp(texts(names)[k], name) == 0) {
        Telvar_error("%s: line %ld: the header names column \"%s\" twice\n", fileName, header->line,
                     name);
        return TELVAR_INVALID;
      }
    }
  }
  return status;
}

/* Pass 1: counts the data records, checks their widths and finds the columns whose fields are
 * all numbers or missing (numeric[c] stays 1). */
static int csvScan(int* nrowOut, char* numeric, CsvCursor cur, CsvRecord* r, int ncol) {
  int nrow = 0, got;
  while ((got = csvNextRecord(r, &cur)) == 1) {
    if (r->n != ncol) {
      Telvar_error("%s: line %ld (row %d) has %d fields, the header %d\n", cur.fileName, r->line,
                   nrow + 1, r->n, ncol);
      return TELVAR_INVALID;
    }
    if (nrow == INT32_MAX - 1) return TELVAR_NOMEM;
    ++nrow;
    for (int c = 0; c < ncol; ++c) {
      double value;
      const char* field = csvFieldAt(r, c);
      if (numeric[c] && !csvIsMissing(field) && !csvNumber(&value, field)) numeric[c] = 0;
    }
  }
  *nrowOut = nrow;
  return got == 0 ? TELVAR_OK : -got;
}

/* Pass 2: stores field c of data row `row` into its column; missing[c][row] marks missing
 * texts. */
static int csvStore(TelvarObject* col, char* missing, const CsvRecord* r, int c, int row,
                    const char* fileName, const char* name) {
  const char* field = csvFieldAt(r, c);
  if (col->mode == TELVAR_DOUBLE) {
    double* out = (double*)col->data + row;
    if (csvIsMissing(field)) {
      *out = NAN;
    } else if (!csvNumber(out, field)) {
      Telvar_error("%s: line %ld (row %d), column \"%s\": \"%s\" is not a number\n", fileName,
                   r->line, row + 1, name, field);
      return TELVAR_INVALID;
    }
    return TELVAR_OK;
  }
  if (csvIsMissing(field) && !r->quoted[c]) {
    missing[row] = 1;
    return TELVAR_OK;
  }
  if (strlen(field) >= TELVAR_STRING_SLOT) {
    Telvar_error("%s: line %ld (row %d), column \"%s\": a level longer than 255 characters\n",
                 fileName, r->line, row + 1, name);
    return TELVAR_INVALID;
  }
  copyText(texts(col)[row], field);
  return TELVAR_OK;
}

/* Replaces every string column by a factor of its texts; missing texts get code -1. */
static int csvFactors(TelvarObject* ds, char* const* missing) {
  int ncol = dsDim(ds, 1);
  for (int c = 0; c < ncol; ++c) {
    TelvarObject* col = slots(dsColumns(ds))[c];
    if (col->mode != TELVAR_STRING) continue;
    for (int32_t row = 0; row < col->length; ++row) {
      if (missing[c][row]) copyText(texts(col)[row], texts(col)[0]);
    }
    TelvarObject factor;
    memset(&factor, 0, sizeof(factor));
    int status =
        TelvarFactor_createFromStrings(&factor, col->length, (const char* const*)col->data);
    if (status != TELVAR_OK) {
      releaseObject(&factor);
      return status;
    }
    for (int32_t row = 0; row < col->length; ++row) {
      if (missing[c][row]) ((int32_t*)slots(&factor)[0]->data)[row] = -1;
    }
    releaseObject(col);
    *col = factor;
  }
  return TELVAR_OK;
}

/* Fills the data set from the records after the header. */
static int csvFill(TelvarObject* ds, CsvCursor cur, CsvRecord* r, int ncol, int nrow) {
  char** missing = calloc((size_t)ncol, sizeof(char*));
  int status = missing != NULL ? TELVAR_OK : TELVAR_NOMEM;
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    missing[c] = calloc((size_t)nrow + 1, 1);
    if (missing[c] == NULL) status = TELVAR_NOMEM;
  }
  for (int row = 0; row < nrow && status == TELVAR_OK; ++row) {
    if (csvNextRecord(r, &cur) != 1) status = TELVAR_INVALID;
    for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
      status = csvStore(slots(dsColumns(ds))[c], missing[c], r, c, row, cur.fileName,
                        texts(slots(ds)[3])[c]);
    }
  }
  if (status == TELVAR_OK) status = csvFactors(ds, missing);
  for (int c = 0; missing != NULL && c < ncol; ++c)
    free(missing[c]);
  free(missing);
  return status;
}

/* Header, then pass 1 (columns and rows), then pass 2 (the values). */
static int csvRead(TelvarObject* ds, CsvCursor cur, const TelvarObject* md, CsvRecord* r) {
  int got = csvNextRecord(r, &cur);
  if (got != 1) {
    if (got == 0) Telvar_error("%s: no header line\n", cur.fileName);
    return got == 0 ? TELVAR_INVALID : -got;
  }
  TelvarObject names;
  memset(&names, 0, sizeof(names));
  int ncol = r->n, nrow = 0;
  int* modes = calloc((size_t)ncol, sizeof(int));
  char* numeric = malloc((size_t)ncol);
  int status = modes != NULL && numeric != NULL ? csvNames(&names, r, cur.fileName) : TELVAR_NOMEM;
  if (status == TELVAR_OK) {
    memset(numeric, 1, (size_t)ncol);
    status = csvScan(&nrow, numeric, cur, r, ncol);
  }
  for (int c = 0; c < ncol && status == TELVAR_OK; ++c) {
    modes[c] = metaDataMode(md, texts(&names)[c]);
    if (modes[c] == 0) modes[c] = numeric[c] ? TELVAR_DOUBLE : TELVAR_STRING;
  }
  if (status == TELVAR_OK) {
    status =
        TelvarDataSet_createFromInput(ds, nrow, ncol, modes, (const char* const*)names.data, NULL);
  }
  free(modes);
  free(numeric);
  releaseObject(&names);
  if (status != TELVAR_OK) return status;
  return csvFill(ds, cur, r, ncol, nrow);
}

static int readTextFile(TelvarObject* ds, const char* fileName, const TelvarObject* md) {
  if (ds == NULL || fileName == NULL) return TELVAR_INVALID;
  FILE* file = fopen(fileName, "rb");
  if (file == NULL) {
    Telvar_error("%s: cannot open the file\n", fileName);
    return TELVAR_INVALID;
  }
  char* text = NULL;
  size_t size = 0;
  int status = csvSlurp(&text, &size, file);
  fclose(file);
  if (status != TELVAR_OK) return status;
  CsvCursor cur = {text, text + size, 1, fileName};
  CsvRecord record;
  memset(&record, 0, sizeof(record));
  status = csvRead(ds, cur, md, &record);
  csvRecordFree(&record);
  free(text);
  if (status != TELVAR_OK) releaseObject(ds);
  return status;
}

/* A text as a comma-separated field: quoted, inner quotes doubled, when it holds a comma, a
 * quote or a line end. */
static void csvWriteText(FILE* out, const char* text) {
  if (strpbrk(text, ",\"\n\r") == NULL) {
    fputs(text, out);
    return;
  }
  fputc('"', out);
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '"') fputc('"', out);
    fputc(*p, out);
  }
  fputc('"', out);
}

/* A finite number in its shortest text that reads back as the same double: the fewest
 * significant digits that do, written in positional or exponent form, whichever is shorter
 * (positional on a tie), as the C++ std::to_chars of qmx score writes it. */
static void csvWriteNumber(FILE* out, double value) {
  char sci[40];
  int precision = 1;
  for (; precision < 17; ++precision) {
    snprintf(sci, sizeof(sci), "%.*e", precision - 1, value);
    if (strtod(sci, NULL) == value) break;
  }
  if (precision == 17) snprintf(sci, sizeof(sci), "%.16e", value);
  /* sci is [-]d[.ddd]e(+|-)XX: its digits and exponent make the positional form. */
  const char* p = sci;
  const int negative = *p == '-';
  p += negative;
  char digits[20];
  int nDigits = 0;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits[nDigits++] = *p;
  const int exponent = atoi(p + 1);
  char fixed[400];
  int n = 0;
  if (negative) fixed[n++] = '-';
  if (exponent < 0) {
    fixed[n++] = '0';
    fixed[n++] = '.';
    for (int k = 0; k < -exponent - 1; ++k)
      fixed[n++] = '0';
    for (int k = 0; k < nDigits; ++k)
      fixed[n++] = digits[k];
  } else if (exponent + 1 >= nDigits) {
    /* A whole number: its exact decimal value, as the positional form of to_chars has it. */
    n += snprintf(fixed + n, sizeof(fixed) - (size_t)n, "%.0f", fabs(value));
  } else {
    for (int k = 0; k < nDigits; ++k) {
      if (k == exponent + 1) fixed[n++] = '.';
      fixed[n++] = digits[k];
    }
  }
  fixed[n] = '\0';
  fputs(n <= (int)strlen(sci) ? fixed : sci, out);
}

int TelvarDataSet_writeCsv(FILE* out, const TelvarObject* ds) {
  if (out == NULL || !TelvarDataSet_isValid(ds)) return TELVAR_INVALID;
  int nrow = dsDim(ds, 0), ncol = dsDim(ds, 1);
  const TelvarObject* names = slots(ds)[3];
  for (int c = 0; c < ncol; ++c) {
    if (c > 0) fputc(',', out);
    csvWriteText(out, c < names->length ? texts(names)[c] : "");
  }
  fputc('\n', out);
  for (int r = 0; r < nrow; ++r) {
    for (int c = 0; c < ncol; ++c) {
      const TelvarObject* col = slots(dsColumns(ds))[c];
      if (c > 0) fputc(',', out);
      if (col->mode == TELVAR_FACTOR || col->mode == TELVAR_STRING) {
        char text[TELVAR_STRING_SLOT];
        csvWriteText(out, cellText(text, (int)sizeof(text), col, r) == TELVAR_OK ? text : "NA");
        continue;
      }
      double value = TelvarDataSet_getNonStringValue(ds, c, r);
      if (col->mode == TELVAR_LONG || col->mode == TELVAR_BOOLEAN) {
        fprintf(out, "%d", (int)value);
      } else if (isnan(value)) {
        fputs("NA", out);
      } else if (isinf(value)) {
        fputs(value > 0 ? "Inf" : "-Inf", out);
      } else {
        csvWriteNumber(out, value);
      }
    }
    fputc('\n', out);
  }
  return fflush(out) == 0 && !ferror(out) ? TELVAR_OK : TELVAR_INVALID;
}

int TelvarDataSet_createFromTextFile(TelvarObject* ds, const char* fileName) {
  return readTextFile(ds, fileName, NULL);
}

int TelvarDataSet_createWithModel(const TelvarObject* model, TelvarObject* ds,
                                  const char* fileName) {
  if (model == NULL || model->mode != TELVAR_META_DATA || model->length < 1 ||
      model->data == NULL) {
    return TELVAR_INVALID;
  }
  const TelvarObject* md = isMetaDataShape(model) ? model : slots(model)[0];
  if (!TelvarMetaData_isValid(md)) return TELVAR_INVALID;
  return readTextFile(ds, fileName, md);
}

int Telvar_isModelShape(const TelvarObject* model, int nNames, const char* const* names,
                        int allowMore) {
  if (model == NULL || model->mode != TELVAR_META_DATA || nNames < 1 || model->length < nNames ||
      (!allowMore && model->length != nNames) || !TelvarList_isValid(model)) {
    return 0;
  }
  for (int i = 0; i < nNames; ++i) {
    if (strcmp(nameAt(model, i), names[i]) != 0) return 0;
  }
  return TelvarMetaData_isValid(slots(model)[0]);
}

const TelvarObject* Telvar_element(const TelvarObject* list, int index) {
  TelvarObject* element = NULL;
  return TelvarList_getElement(&element, list, index) == TELVAR_OK ? element : NULL;
}
