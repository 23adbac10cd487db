/*
 * VTObjects.h: the standalone scoring library's tagged objects, text streams and
 * comma-separated data reader (plain C11, no dependency beyond the C library and libm).
 *
 * Contract shared by every function declared here:
 *  - Each function returns an int status: TELVAR_OK (1) success; TELVAR_INVALID (2) invalid
 *    argument, invalid object, index out of range or malformed stream; TELVAR_NOMEM (3)
 *    storage was not obtained; TELVAR_WRONG_MODE (0) a typed accessor applied to a vector of
 *    another mode, an empty list asked for its names, or input the metadata conversion cannot
 *    use. Telvar_statusText gives a static text for each code.
 *  - The object that receives a result comes first, then the inputs. Indices are 0-based.
 *  - The caller owns every TelvarObject record (usually on the stack, zero-initialised); the
 *    library owns what hangs from it (data) and releases it in the destroy functions. A
 *    receiving record must be empty (zeroed or destroyed) unless stated otherwise; on failure
 *    it may be partly filled and the caller destroys it (destroy of an empty record is a no-op).
 *  - Inputs are checked with the kind's validity test first; on failure nothing is changed.
 *  - No function keeps global state; messages go to standard error through Telvar_error,
 *    printed dumps to standard output.
 */
#ifndef VTCSRC_VTOBJECTS_H
#define VTCSRC_VTOBJECTS_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

/* Fault injection: a test build defines TELVAR_TEST_ALLOCATOR and supplies these three
 * functions, so that every allocation of the library can be made to fail in turn. */
#ifdef TELVAR_TEST_ALLOCATOR
#ifdef __cplusplus
extern "C" {
#endif
void* TelvarTest_malloc(size_t size);
void* TelvarTest_calloc(size_t count, size_t size);
void* TelvarTest_realloc(void* block, size_t size);
#ifdef __cplusplus
}
#endif
#ifndef __cplusplus
#define malloc(size) TelvarTest_malloc(size)
#define calloc(count, size) TelvarTest_calloc(count, size)
#define realloc(block, size) TelvarTest_realloc(block, size)
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
enum TelvarStatus { TELVAR_WRONG_MODE = 0, TELVAR_OK = 1, TELVAR_INVALID = 2, TELVAR_NOMEM = 3 };

/* Object modes. */
enum TelvarMode {
  TELVAR_NULL = 0,
  TELVAR_BOOLEAN = 1,
  TELVAR_LONG = 2,
  TELVAR_FLOAT = 3,
  TELVAR_DOUBLE = 4,
  TELVAR_STRING = 5,
  TELVAR_LIST = 21,
  TELVAR_FACTOR = 61,
  TELVAR_DOUBLE_MATRIX = 1004,
  TELVAR_MODEL_MATRIX = 1005,
  TELVAR_DATA_SET = 1006,
  TELVAR_META_DATA = 2001
};

/* Longest text a string element holds (its slot is TELVAR_STRING_SLOT bytes with the NUL). */
#define TELVAR_STRING_SLOT 256

/*
 * Object record. data is NULL when length is 0. Vectors: an array of elements (modes 1 and 2:
 * int32_t, 3: float, 4: double, 5: char* pointers into one block of length x 256 bytes).
 * List-like modes (21, 61, 1004, 1005, 1006, 2001): an array of length + 1 pointers to element
 * records held in one block; slot length holds the names, a string vector of length elements.
 */
typedef struct TelvarObject {
  int32_t mode;
  int32_t length;
  void* data;
  char className[64];
} TelvarObject;

/* One element crossing the interface; the member read or written follows the vector's mode. */
typedef union TelvarValue {
  int32_t l;
  float f;
  double d;
  const char* s;
} TelvarValue;

/* ---- Messages and status texts ---- */

/* Prints the printf-formatted message to standard error; returns 1. */
int Telvar_error(const char* format, ...);
/* Static text of a status code ("unknown status" for others); never NULL, never freed. */
const char* Telvar_statusText(int status);
/* Writes the class name of mode into buffer (truncated to size - 1) and returns its length:
 * 0 "null"; 1-5 and 21 "Vector"; 61 "Factor"; 1004 "Matrix"; 1005 "ModelMatrix";
 * 1006 "DataSet"; otherwise "unknown". */
int Telvar_getClassFromMode(char* buffer, int size, int mode);

/* ---- Objects (any mode) ---- */

/* Gives obj (whose old storage is NOT released) storage for n zeroed elements of mode and sets
 * className. n < 1 leaves length 0 and data NULL with the mode set. List-like modes get n + 1
 * zeroed element records (the last is the names slot, left as a null record). 2 bad mode,
 * 3 no storage. */
int TelvarObject_alloc(TelvarObject* obj, int n, int mode);
/* 1 when obj holds no storage (length 0 and data NULL), 0 otherwise (also for NULL). */
int TelvarObject_isEmpty(const TelvarObject* obj);
/* Dispatches on mode to the kind's validity test: 1 valid, 0 not (NULL is not valid). */
int TelvarObject_isValid(const TelvarObject* obj);
/* Deep copy of src into the empty record dest; an empty source is copied field by field. */
int TelvarObject_clone(TelvarObject* dest, const TelvarObject* src);
/* Releases everything obj owns and zeroes the record. NULL and empty records are no-ops. */
int TelvarObject_destroy(TelvarObject* obj);
/* *modeOut = obj->mode; -1 and status 2 for a NULL or null-mode empty record. */
int TelvarObject_getMode(int* modeOut, const TelvarObject* obj);
/* Writes the object header and body (no version block) to stream. */
int TelvarObject_writeToStream(FILE* stream, const TelvarObject* obj);
/* Reads one object (header and body) into the empty record obj. 2 malformed, 3 no storage. */
int TelvarObject_createFromStream(TelvarObject* obj, FILE* stream);
/* Writes the version block and obj to the named file (created or truncated; removed when the
 * object cannot be written whole). */
int TelvarObject_writeToFile(const char* fileName, const TelvarObject* obj);
/* Reads a file written by TelvarObject_writeToFile into the empty record obj. */
int TelvarObject_createFromFile(TelvarObject* obj, const char* fileName);
/* Prints any valid object to standard output through its kind's print function. */
int TelvarObject_print(const TelvarObject* obj);

/* ---- Streams and files ---- */

/* fopen for writing / reading; *fileOut is NULL and status 2 on failure. Close with fclose. */
int TelvarDataFile_openForWrite(FILE** fileOut, const char* fileName);
int TelvarDataFile_openForRead(FILE** fileOut, const char* fileName);
/* Writes "# VTCSRC data's dump", "$vtcsrcVersion" and 1.1 as "%6.2f". */
int TelvarVersion_writeToStream(FILE* stream);
/* Reads the three version lines; 1 only when the version scans as exactly 1.1, else 2. */
int TelvarVersion_readFromStreamAndValidate(FILE* stream);
/* Writes "\n$class\n<class>\n$mode\n<mode>\n"; a NULL className uses the class of mode. */
int TelvarObjectHeader_writeToStream(FILE* stream, const char* className, int mode);
/* Reads a header; *modeOut receives the mode (2 when missing or inconsistent with the class). */
int TelvarObjectHeader_readFromStream(int* modeOut, FILE* stream);

/* ---- Vectors (modes 1-5) ---- */

/* Creates a vector of length elements in the empty record vec. values may be NULL (zeroed
 * storage); otherwise it points to length int32_t (modes 1, 2), float, double or const char*
 * (NULL or empty texts leave the slot empty; longer texts are cut at 255 characters). */
int TelvarVector_create(TelvarObject* vec, int length, int mode, const void* values);
int TelvarVector_isValid(const TelvarObject* vec); /* 1 valid vector (modes 1-5), else 0 */
int TelvarVector_isBoolean(const TelvarObject* vec);
int TelvarVector_isLong(const TelvarObject* vec);
int TelvarVector_isFloat(const TelvarObject* vec);
int TelvarVector_isDouble(const TelvarObject* vec);
int TelvarVector_isString(const TelvarObject* vec);
int TelvarVector_clone(TelvarObject* dest, const TelvarObject* src);
int TelvarVector_destroy(TelvarObject* vec);
/* Appends one element, growing storage by one (a vector of length 0 becomes length 1). The old
 * storage is released once; on failure the vector is unchanged. */
int TelvarVector_add(TelvarObject* vec, TelvarValue value);
int TelvarVector_addLong(TelvarObject* vec, int32_t value);
int TelvarVector_addDouble(TelvarObject* vec, double value);
int TelvarVector_addString(TelvarObject* vec, const char* value);
/* Element index into *valueOut (strings: a pointer into the vector's storage, valid until the
 * vector changes). 2 bad index. */
int TelvarVector_getAt(TelvarValue* valueOut, const TelvarObject* vec, int index);
/* Typed reads: 0 for another mode (long reads also accept booleans), 2 bad index. */
int TelvarVector_getLongAt(int32_t* valueOut, const TelvarObject* vec, int index);
int TelvarVector_getDoubleAt(double* valueOut, const TelvarObject* vec, int index);
/* Copies the text into buffer of size bytes; 0 when it does not fit or another mode. */
int TelvarVector_getStringAt(char* buffer, int size, const TelvarObject* vec, int index);
/* Sets element index; index == length appends. Strings are copied (cut at 255). */
int TelvarVector_setAt(TelvarObject* vec, int index, TelvarValue value);
int TelvarVector_setLongAt(TelvarObject* vec, int index, int32_t value);
int TelvarVector_setDoubleAt(TelvarObject* vec, int index, double value);
int TelvarVector_setStringAt(TelvarObject* vec, int index, const char* value);
/* Text of one element ("TRUE"/"FALSE", "%d", "%g", the text); 2 when index >= length or the
 * text does not fit buffer. */
int TelvarVector_getAsStringAt(char* buffer, int size, const TelvarObject* vec, int index);
/* Prints one element (no separator) / the whole vector: elements joined by ", ", newline. */
int TelvarVector_printElement(const TelvarObject* vec, int index);
int TelvarVector_print(const TelvarObject* vec);
/* Body only (the header is written / read by TelvarObject_*Stream). Doubles are written "%.17g"
 * and floats "%.9g", so they read back exactly; a NaN or infinite element makes the writer and
 * the reader fail (status 2; the writer writes nothing). Texts holding blanks or starting with a
 * quote are written in quotes with backslash escapes. */
int TelvarVector_writeToStream(FILE* stream, const TelvarObject* vec);
int TelvarVector_createFromStream(TelvarObject* vec, int mode, FILE* stream);

/* ---- Lists (mode 21 and the composite kinds) ---- */

/* Creates a list of length zeroed elements; the names slot becomes an empty-text string vector
 * of length elements. mode must be list-like (2 otherwise). */
int TelvarList_create(TelvarObject* list, int length, int mode);
int TelvarList_isValid(const TelvarObject* list);
int TelvarList_clone(TelvarObject* dest, const TelvarObject* src);
int TelvarList_destroy(TelvarObject* list);
/* Names from length texts / from a string vector of length elements (2 when lengths differ). */
int TelvarList_setNamesFromStrings(TelvarObject* list, const char* const* texts);
int TelvarList_setNames(TelvarObject* list, const TelvarObject* names);
/* Copy of the names vector into the empty record names; 0 for an empty list. */
int TelvarList_getNames(TelvarObject* names, const TelvarObject* list);
int TelvarList_setNameAt(TelvarObject* list, int index, const char* text);
/* Appends a copy of obj named name (NULL: empty); an empty list becomes a list of mode 21. */
int TelvarList_add(TelvarObject* list, const TelvarObject* obj, const char* name);
/* Deep copy of element index into the empty record objOut. */
int TelvarList_getAt(TelvarObject* objOut, const TelvarObject* list, int index);
/* Borrowed pointer to element index (owned by the list; valid until the list changes). */
int TelvarList_getElement(TelvarObject** objOut, const TelvarObject* list, int index);
/* Index of the first element named name; 2 when none. */
int TelvarList_findName(int* indexOut, const TelvarObject* list, const char* name);
/* Replaces element index by a copy of obj; index == length appends with an empty name. */
int TelvarList_setAt(TelvarObject* list, int index, const TelvarObject* obj);
int TelvarList_printElement(const TelvarObject* list, int index);
int TelvarList_print(const TelvarObject* list);
int TelvarList_writeToStream(FILE* stream, const TelvarObject* list);
int TelvarList_createFromStream(TelvarObject* list, int mode, FILE* stream);

/* ---- Factors (mode 61: "data" level codes, -1 for a missing value; "levels" names) ---- */

int TelvarFactor_create(TelvarObject* f, int nData, const int32_t* codes, int nLevels,
                        const char* const* levelTexts);
/* Codes in order of first appearance, levels through the 769-bucket level hash. */
int TelvarFactor_createFromStrings(TelvarObject* f, int n, const char* const* texts);
int TelvarFactor_isValid(const TelvarObject* f);
int TelvarFactor_print(const TelvarObject* f);
int TelvarFactor_printElement(const TelvarObject* f, int index);

/* ---- Double matrices (1004) and model matrices (1005) ---- */

/* values: nrow x ncol column-major (NULL: zeros); name arrays may be NULL. */
int TelvarDoubleMatrix_create(TelvarObject* m, int nrow, int ncol, const double* values,
                              const char* const* rowNames, const char* const* columnNames);
/* Numeric columns as doubles, factors as one "%s(%s)" indicator column per level. */
int TelvarDoubleMatrix_createFromDataSet(TelvarObject* m, const TelvarObject* dataSet);
int TelvarDoubleMatrix_getColumnNames(TelvarObject* names, const TelvarObject* m);
int TelvarDoubleMatrix_setColumnNames(TelvarObject* m, const TelvarObject* names);
int TelvarDoubleMatrix_getRowNames(TelvarObject* names, const TelvarObject* m);
int TelvarDoubleMatrix_setRowNames(TelvarObject* m, const TelvarObject* names);
int TelvarDoubleMatrix_getNRows(int* nOut, const TelvarObject* m);
int TelvarDoubleMatrix_getNColumns(int* nOut, const TelvarObject* m);
/* Borrowed pointer to the column-major values. */
int TelvarDoubleMatrix_getValues(double** valuesOut, const TelvarObject* m);
int TelvarDoubleMatrix_isValid(const TelvarObject* m);
int TelvarDoubleMatrix_print(const TelvarObject* m);
int TelvarModelMatrix_create(TelvarObject* m, int nrow, int ncol, const double* values,
                             const char* const* rowNames, const char* const* columnNames);
int TelvarModelMatrix_createFromDataSet(TelvarObject* m, const TelvarObject* dataSet);
int TelvarModelMatrix_isValid(const TelvarObject* m);
int TelvarModelMatrix_print(const TelvarObject* m);

/* ---- Data sets (1006) ---- */

/* Column c is a vector of mode modes[c] (1-5) filled from columns[c] when columns and
 * columns[c] are not NULL (same element layout as TelvarVector_create), else zeroed.
 * columnNames may be NULL. Factor columns are put in afterwards with TelvarDataSet_setColumn
 * (for instance a string column turned into a factor by TelvarFactor_createFromStrings). */
int TelvarDataSet_createFromInput(TelvarObject* ds, int nrow, int ncol, const int* modes,
                                  const char* const* columnNames, const void* const* columns);
/* Reads a comma-separated file as R's read.csv does: a header record of distinct names, then
 * data records of as many fields (RFC 4180 quoting: commas, line ends and doubled quotes inside
 * quotes; LF, CR LF or CR line ends; empty lines skipped). A column whose fields are all
 * numbers (blanks around them allowed) or missing (empty or NA) holds doubles (NaN for
 * missing), any other a factor (code -1 for an unquoted empty or NA field). 2 with a message
 * naming the file, line, row and column for a malformed file, 3 no storage. */
int TelvarDataSet_createFromTextFile(TelvarObject* ds, const char* fileName);
/* As createFromTextFile, column types from the model's metadata (columns with levels are
 * factors, the others doubles, a field that is neither a number nor missing being an error);
 * the columns it does not name are typed from their fields. */
int TelvarDataSet_createWithModel(const TelvarObject* model, TelvarObject* ds,
                                  const char* fileName);
/* Writes a data set as comma-separated text: the column names, then one line per row (longs
 * "%d", doubles "%.17g" with NA, Inf and -Inf, factor levels; texts holding a comma, quote or
 * line end quoted). 2 on a write error. */
int TelvarDataSet_writeCsv(FILE* out, const TelvarObject* ds);
int TelvarDataSet_getColumnMode(int* modeOut, const TelvarObject* ds, int column);
/* Borrowed pointer to column (a vector or a factor). */
int TelvarDataSet_getColumn(TelvarObject** columnOut, const TelvarObject* ds, int column);
/* Replaces column by a copy of col, which must have nrow elements. */
int TelvarDataSet_setColumn(TelvarObject* ds, int column, const TelvarObject* col);
int TelvarDataSet_getNRows(int* nOut, const TelvarObject* ds);
int TelvarDataSet_getNColumns(int* nOut, const TelvarObject* ds);
int TelvarDataSet_getColumnNames(TelvarObject* names, const TelvarObject* ds);
int TelvarDataSet_setColumnNames(TelvarObject* ds, const TelvarObject* names);
int TelvarDataSet_getRowNames(TelvarObject* names, const TelvarObject* ds);
int TelvarDataSet_setRowNames(TelvarObject* ds, const TelvarObject* names);
/* The code of a factor (-1 missing), the value of a long, float or double column, else 0 (also
 * on bad arguments). */
double TelvarDataSet_getNonStringValue(const TelvarObject* ds, int column, int row);
int TelvarDataSet_isValid(const TelvarObject* ds);
int TelvarDataSet_print(const TelvarObject* ds);
int TelvarColumn_isValid(const TelvarObject* col);

/* ---- Metadata (2001: "columnInfo", "termInfo") ---- */

/* Copies the two parts (lists built by the two functions below) into a new metadata object. */
int TelvarMetaData_create(TelvarObject* md, const TelvarObject* columnInfo,
                          const TelvarObject* termInfo);
/* columnInfo list: column c named names[c] with nLevels[c] level texts levels[c][...] and split
 * categories splits[c][...] (splits or splits[c] NULL: 0, 1, ...). nLevels NULL: all numeric. */
int TelvarMetaData_createInputDescription(TelvarObject* columnInfo, int nColumns,
                                          const char* const* names, const int* nLevels,
                                          const char* const* const* levels,
                                          const int32_t* const* splits);
/* Makes column `column` of columnInfo (numeric, named by a poly() call of that degree and raw
 * flag) a poly() column: its third element "polyCoefficients" holds degree, raw (0 or 1) and,
 * unless raw, R's alpha (degree values) and norm2 (degree + 2 positive values). 2 for a degree
 * outside 1 to 20, non-finite coefficients or a factor column. */
int TelvarMetaData_setPolyBasis(TelvarObject* columnInfo, int column, int degree, int raw,
                                const double* alpha, const double* norm2);
/* termInfo list: term t named names[t] holding nColumns[t] column names columns[t][...]. */
int TelvarMetaData_createTerms(TelvarObject* termInfo, int nTerms, const char* const* names,
                               const int* nColumns, const char* const* const* columns);
/* One column per data-set column (factor levels, none for numeric columns), one term each. */
int TelvarMetaData_createFromDataSet(TelvarObject* md, const TelvarObject* ds);
int TelvarMetaData_isValid(const TelvarObject* md);
int TelvarMetaData_print(const TelvarObject* md);
int TelvarMetaData_destroy(TelvarObject* md);
/* Builds into the empty record converted a data set with one double column per metadata column
 * (in metadata order, named as there): numeric values as doubles, factor codes mapped onto the
 * model's level order by level name, NaN for a missing value or a level unknown to the model.
 * A column the input lacks that is named by a call is computed: log, exp, sqrt or I of numeric
 * columns; factor(e) the level code of R's text of e's value; poly(e, k[, raw = TRUE]) the
 * value of e (the design expands it). inputMetaData may be NULL. Status 2 for a column the
 * input lacks ("Column required by model not found: %s\n") or a call that does not parse or
 * fit its entry, 0 for a numeric/factor mismatch. */
int TelvarMetaData_InputConvert(TelvarObject* converted, const TelvarObject* metaData,
                                const TelvarObject* input, const TelvarObject* inputMetaData);

/* ---- Helpers shared with the model sources ---- */

/* Converts input for the model list (its element 0 is the metadata) and exposes the converted
 * columns: *columnsOut receives a malloc'd array of ncol borrowed column pointers into
 * converted (free it with free), *nRowOut and *nColOut the sizes. Same statuses as
 * TelvarMetaData_InputConvert. */
int Telvar_convertForModel(TelvarObject* converted, const double*** columnsOut, int* nRowOut,
                           int* nColOut, const TelvarObject* model, const TelvarObject* input,
                           const TelvarObject* inputMetaData);
/* The regression design of a metadata object: the columns its terms make from the converted
 * input. Each run of one column name in a term is a block:
 *  - a numeric column named p times: one column, the value to the power p (multiplied out from
 *    the left, as the model matrix of the fitting library does);
 *  - a factor column named once per split category (m = 1 + its largest split category): m
 *    columns, column j holding 1 where the level's split category is j; a level whose category
 *    is -1 has 0 in every column (reference level), one whose category is -2 has -1 in every
 *    column (sum-to-zero contrasts);
 *  - a factor column named once while it has another number of split categories: one column,
 *    the level code;
 *  - a poly() column (TelvarMetaData_setPolyBasis) named once: degree columns, R's basis.
 * The blocks of a term multiply out, the first block's columns varying slowest; terms follow
 * in order. Without terms, one design column per metadata column (the converted value).
 * *widthOut receives the number of design columns; 2 for a name that is not a metadata column,
 * an empty term or a factor named neither once nor once per split category. */
int Telvar_designWidth(int* widthOut, const TelvarObject* metaData);
/* Fills out[0..width) with design row `row` from the converted columns x (as exposed by
 * Telvar_convertForModel); scratch holds at least 2 x width doubles. */
int Telvar_designRow(double* out, double* scratch, const TelvarObject* metaData,
                     const double* const* x, int row);
/* Linear predictors of a regression model (element 0 metadata, element 1 the double vector of
 * coefficients: intercept, then one per design column; element 3 "offset", when present,
 * adds the values of its expressions): *etaOut receives a malloc'd array of
 * *nRowOut values (free it with free). Statuses of Telvar_convertForModel; 2 when the
 * coefficients are not one more than the design columns. */
int Telvar_linearPredictor(double** etaOut, int* nRowOut, const TelvarObject* model,
                           const TelvarObject* input, const TelvarObject* inputMetaData);
/* Link functions of a regression model by name: "identity", "log", "logit", "probit",
 * "cloglog", "inverse", "sqrt", "1/mu^2" have codes 0 to 7; 2 for another name. */
int Telvar_linkCode(int* codeOut, const char* link);
/* The mean of linear predictor eta under link `code` (the fitting library's inverse links,
 * exponents clamped to +-354.9 as there); NaN for an unknown code. */
double Telvar_inverseLink(int code, double eta);
/* The link code of a model list: its element "link" (a string vector of one link name), or
 * defaultCode when it has none; 2 for a malformed element or an unknown name. */
int Telvar_modelLink(int* codeOut, const TelvarObject* model, int defaultCode);
/* A regression model list (className, element 0 metaData, 1 "coefficients" as for
 * Telvar_linearPredictor, 2 "link" when link is not NULL) built from copies; 2 for an unknown
 * link, fewer than one coefficient or invalid metadata. */
int Telvar_createRegressionModel(TelvarObject* model, const char* className,
                                 const TelvarObject* metaData, int nCoefficients,
                                 const double* coefficients, const char* link);
/* The same with element 3 "offset" when nOffsets > 0 (link then required): expressions of
 * numeric input columns (a column name, log(t), a * b, ...) whose values the linear predictor
 * adds. */
int Telvar_createRegressionModelWithOffsets(TelvarObject* model, const char* className,
                                            const TelvarObject* metaData, int nCoefficients,
                                            const double* coefficients, const char* link,
                                            int nOffsets, const char* const* offsets);
/* 1 when model has the shape Telvar_createRegressionModel(WithOffsets) makes (a known link if
 * any). */
int Telvar_isRegressionModel(const TelvarObject* model);
/* Scores of a regression model: column 0 the mean (the inverse of the model's link, or of
 * defaultLink when it names none, applied to the linear predictor), column 1 when ncol is 2
 * its complement 1 - mean; columns named names. NaN inputs give NaN scores. Statuses of
 * Telvar_linearPredictor. */
int Telvar_regressionScores(TelvarObject* scores, const TelvarObject* model,
                            const TelvarObject* input, const TelvarObject* inputMetaData,
                            int defaultLink, int ncol, const char* const* names);
/* Creates scores: a data set of nrow rows and ncol double (or mode[c]) columns named names. */
int Telvar_createScores(TelvarObject* scores, int nrow, int ncol, const int* modes,
                        const char* const* names);
/* Builds a model list (mode 2001, className) from n elements named names; element 0 must be
 * metadata. Elements are copied. */
int Telvar_createModelList(TelvarObject* model, const char* className, int n,
                           const TelvarObject* const* elements, const char* const* names);
/* 1 when model is a valid mode-2001 list whose first nNames elements are named names (element
 * 0 valid metadata) and which holds exactly nNames elements, or more when allowMore. */
int Telvar_isModelShape(const TelvarObject* model, int nNames, const char* const* names,
                        int allowMore);
/* Borrowed element index of a list, or NULL. */
const TelvarObject* Telvar_element(const TelvarObject* list, int index);
/* Prints "%s(%d) : " and "Invalid pModel\n" through Telvar_error and returns 2. */
int Telvar_invalidModel(const char* file, int line);

/* Chained text hash of 769 buckets (h = h * 33 + c from 5381, modulo 769) mapping a text to an
 * int code. Used for factor levels and tree node numbers. */
typedef struct TelvarHash TelvarHash;
/* *hashOut receives a new table (free with TelvarHash_destroy); 3 when storage fails. */
int TelvarHash_create(TelvarHash** hashOut);
/* 1 and *codeOut when text is present, 0 when absent. */
int TelvarHash_find(int* codeOut, const TelvarHash* hash, const char* text);
/* Enters a copy of text with code (no duplicate check); 3 when storage fails. */
int TelvarHash_insert(TelvarHash* hash, const char* text, int code);
void TelvarHash_destroy(TelvarHash* hash);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTOBJECTS_H */
