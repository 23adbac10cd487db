// QMXProcModel: the base of the fitting procs whose chunks form a model matrix (linear and
// generalized linear regression, Cox regression, neural networks). init checks the input
// buffer against the model description the derived proc holds (getModel) and binds the
// model matrix to it; getDataChunk turns the current chunk into the model matrix, the
// response matrix and the weights, leaving out rows with a missing or infinite value in
// any model variable, response, offset or the weights column, and refusing a chunk whose matrix
// holds a value that is not finite or whose weighted square overflows. Accumulating, passes and the
// model document are the derived proc's business.
//
// A derived proc's init calls QMXProcModel::init() first and stops when the proc is then
// done: a check failed (a wrong buffer count is set as the error, any other failure added
// as an error). Its execute calls getDataChunk() and reads modelMatrix, response, weights,
// rowsUsed and rowsMissing.
#pragma once

#include <cstdint>
#include <memory>

#include "qmxbase/QMXProc.h"
#include "qmxmisc/framework/QMXFilterBufReader.h"
#include "qmxmisc/model/DerivedVariablePasses.h"
#include "qmxmisc/model/ModelMatrix.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/Vectors.h"

// The sum of the model's offsets over the n rows the filter gives (n x 1; empty when the
// model has none); the filter must hold the offsets' columns (ModelTerms::inputColumns).
DoubleMatrix chunkOffset(const ModelTerms& model, QMXFilterBufReader& filter, long n);

class QMXProcModel : public QMXProc {
 public:
  QMXProcModel() = default;
  ~QMXProcModel() override = default;

  // Resets the chunk state and counters, checks the buffers (1..maxInputs inputs, at most
  // one output), checks the responses against input buffer 0 and binds the model matrix.
  // A failed check adds its message as an error and marks the proc done.
  void init() override;

  // The model description of the derived proc.
  virtual const ModelTerms& getModel() const = 0;

 protected:
  // Builds the current chunk's matrices through the caller's filter (which may already hold
  // extra variables); returns the rows used, 0 when none.
  virtual long getDataChunk(QMXFilterBufReader& filter);
  // The same through a fresh missing-value filter on input reader 0.
  virtual long getDataChunk();

  // factor(x) and poly(e, k) need passes over the data before the fit
  // (DerivedVariablePasses): a derived proc's execute starts with
  // `if (prepareStep()) return;`. Each call reads a chunk through the fit's filter; at the
  // end of the data the input is rewound, and after the last pass the model the proc gives
  // (preparedModel) takes the levels and coefficients and the model matrix is bound again.
  bool prepareStep();
  // The model the passes complete; null (the default): such variables are refused at init.
  virtual ModelTerms* preparedModel() { return nullptr; }

  // Empties the model matrix (keeping its model and binding), the response and weights.
  void eraseChunk();
  // The text init reports for an exception that is not a QMXException (the proc's fixed
  // message; "Internal Error" unless a derived proc sets its own).
  void setInitInternalErrorText(const char* text) { initInternalErrorText_ = text; }

  ModelMatrix modelMatrix;
  DoubleMatrix response;
  DoubleMatrix weights;
  // The sum of the model's offsets per used row (n x 1), empty when the model has none.
  DoubleMatrix offset;
  lVector responseColumns;
  Index termIndices;
  std::int64_t rowsUsed = 0;
  // The model matrix and offsets of each chunk are checked for values that are not finite or
  // overflow when squared; a proc that reads the same rows again may leave later passes out.
  bool checkValues = true;
  std::int64_t rowsMissing = 0;
  long maxInputs = 1;

 private:
  // The filter's variables: the model's input columns, the responses and the weights.
  void setFilterVariables(QMXFilterBufReader& filter) const;
  std::shared_ptr<DerivedVariablePasses> passes_;
  // init's checks and binding (throw on failure).
  void bindModel();
  // Response matrix of n used rows.
  void readResponse(QMXFilterBufReader& filter, long n);
  void readWeights(QMXFilterBufReader& filter, long n);
  // Throws, naming the term and the data row, for a model-matrix value that is not finite or
  // whose weighted square overflows (QMXProcModelValues.cpp); rowsBefore: input rows of the
  // earlier chunks.
  void checkChunkValues(long n, std::int64_t rowsBefore) const;

  const char* initInternalErrorText_ = "Internal Error";
};
