// QMXProcPredict: the base of every scoring proc (regression, Cox regression, k-means, neural
// network, principal components). It owns what they share:
//  * the property protocol: "model.xml" (handed to the subclass's setXML), the output
//    definitions ("clear.outputs", "define.output"), the unknown-level map
//    ("clear.unknown.level.map", "add.unknown.level.map"), the C generator switch
//    ("clear.cgenerator", "define.cgenerator") and the "iglm.*" texts;
//  * init (buffer checks, the model matrix bound to the input buffer) and the chunk loop of
//    execute, which runs generatePredictCSource instead of scoring when C generation was
//    requested;
//  * getDataChunk: the model matrix of the chunk's complete rows, with the rows left out for
//    missing values recorded;
//  * writeOutputData: one output row per input row from the subclass's prediction matrices.
//
// A subclass implements setXML (parse a model document and keep the fit), getFit (that fit),
// processChunk (getDataChunk, compute the prediction matrices of the complete rows, then
// writeOutputData) and, if it can, generatePredictCSource.
//
// Implementation files: QMXProcPredict.cpp (lifecycle, chunk loop, getDataChunk),
// QMXProcPredictProperties.cpp (properties, output definitions, unknown-level map),
// QMXProcPredictOutput.cpp (writeOutputData).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/framework/QMXFilterBufReader.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/model/ModelMatrix.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/Index.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/predict/HostString.h"
#include "qmxmisc/predict/PredictOutput.h"
#include "qmxmisc/predict/ResidualModel.h"

class QMXProcPredict : public QMXProc {
 public:
  QMXProcPredict() = default;
  // The model matrix points at this proc's own unknown-level map: a proc is not copied.
  QMXProcPredict(const QMXProcPredict&) = delete;
  QMXProcPredict& operator=(const QMXProcPredict&) = delete;
  ~QMXProcPredict() override = default;

  // --- QMXProc operations overridden here ---
  // Checks the buffers (one input and at most one output when scoring, none when C
  // generation was requested), releases the previous run, checks the fit and binds the
  // model matrix to the input buffer. Failures become errors and mark the proc done.
  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  // No property of this class is read: every name goes to QMXProc::getProperty.
  void getProperty(QMXPropertyInfo* prop) override;
  // The properties listed above (scoring procs without their own use this table).
  static const QMXPropertyTable& properties();
  // One chunk: processChunk on the ready rows, then one output row per input row released.
  // With C generation requested, writes the C source once and ends the proc instead.
  void execute() override;
  // False while the fit is not valid, otherwise QMXProc::isReady.
  bool isReady() override;

  // --- virtual operations of the scoring procs, in this order ---
  // Erases the model matrix, detaches the unknown-level map from it and frees the chunk's
  // string copies. Output definitions and the unknown-level map itself are kept.
  virtual void release();
  // The fit's valid(false).
  virtual bool valid() const;
  // Parses a model document and keeps the fit.
  virtual void setXML(const char* xml) = 0;
  // The subclass's fit.
  virtual const ModelTerms& getFit() const = 0;
  // Writes the C scoring package of the fit; the base does nothing.
  virtual void generatePredictCSource();
  // Scores the current chunk (called by execute when rows are ready).
  virtual void processChunk() = 0;
  // Builds the chunk's model matrix through `reader`, restricted to the fit's variables, and
  // records the rows it left out (missingRows, excludedRows); returns the number of complete
  // rows. Throws when the term positions differ from the first chunk's.
  virtual long getDataChunk(QMXFilterBufReader& reader);
  // The same through a filter on input reader 0 that leaves out rows with missing values.
  virtual long getDataChunk();

  // --- output definitions ---
  // Appends a definition. Throws "Invalid output type when defining output information" for
  // a missing type name, "invalid output type, %s, when defining output information" for an
  // unknown one, and "Invalid variable name when defining output information" for an empty
  // variable name (allowed for types 8 to 13 only).
  void defineOutput(int index, const char* typeName, const char* name);
  void clearOutputs() { outputs_.clear(); }
  const std::vector<PredictOutput>& outputs() const { return outputs_; }

  // --- unknown factor levels ---
  // Unknown levels of factor column `column` of the input are scored as `level` (an empty
  // or null level makes them an error); replaces an earlier entry for the column.
  void addUnknownLevelMap(long column, const char* level);
  void clearUnknownLevelMap();
  // The map as the model matrix sees it.
  const UnknownLevelMap& unknownLevelMap() const { return unknownLevelView_; }
  // "unknown.levels": "na" (the default) scores the rows of levels neither the fit nor the
  // map knows as NaN and ends the run with the warning "N rows had factor levels not seen
  // when fitting (first: row R, column C, level 'L'); their outputs are NA" (R: 1-based data
  // row); "error" stops at the first with "factor C has new levels L".
  void setUnknownLevelPolicy(const char* policy);
  // Rows with unknown levels since init.
  std::int64_t unknownLevelRowTotal() const { return unknownLevelRows_; }

  // --- stored texts ---
  const String& familyName() const { return family_; }
  const String& linkName() const { return link_; }
  const String& varianceName() const { return variance_; }
  const String& meanName() const { return mean_; }
  const String& cSourceDirectory() const { return cSourceDirectory_; }
  const String& cDistributionDirectory() const { return cDistributionDirectory_; }
  bool cGeneratorRequested() const { return cGeneratorRequested_; }

  // Rows left out for missing values since init.
  std::int64_t missingRowTotal() const { return missingRowTotal_; }

 protected:
  // Fills the output buffer for the current chunk: for every input row and definition k,
  // column k gets NaN for rows left out (missing values, unknown factor levels), else the
  // value the definition takes from the next prediction row. `prediction`, and the optional
  // working weights, linear predictor and dmu/deta, hold one row per complete input row;
  // `scaled` (a model with a family) makes "residual" the working residual.
  // Per type: "copy" the input cell with its column type; "fitted.value", "probability",
  // "distanceToCenter", "score", "risk", "riskSE", "survival", "survivalSE" the prediction at
  // the definition's column; "residual" observed response minus prediction (divided by
  // dmu/deta when scaled); "weight" the working weight times the row's value of the model's
  // case-weights column (the weight the row carries in the fit; the working weight alone when
  // the model has no weights column); "eta" the linear predictor; "category" the level with
  // the largest probability (the first on ties) and "agreement" whether it is the observed
  // level (1 or 0); "clusterMembership" the cluster number, zero-padded text in a text or
  // factor column; the R residual types (ResidualModel.h) from the observed response, the
  // prediction at the definition's column as mu, the prior weight of the model's weights
  // column, dmu/deta (working, when scaled) and `residualModel`'s family (null: Gaussian).
  // A type whose matrix the proc did not pass raises "unexpeced output type %s"; a column
  // index outside a matrix raises "bad index %d".
  void writeOutputData(const TMatrix<double>& prediction, const TMatrix<double>* weights,
                       const TMatrix<double>* eta, const TMatrix<double>* derivative, bool scaled,
                       const ResidualModel* residualModel = nullptr);

  // Keeps a copy of `text` until release; returns the copy.
  const char* keepColumnString(const char* text);
  // The number of clusters of a clustering fit: "clusterMembership" written to a text column
  // is padded with zeros to the width of this number (no padding while it is 0).
  void setClusterCount(long count) { clusterCount_ = count; }
  long clusterCount() const { return clusterCount_; }

  // The model matrix of the current chunk, built from the fit's model terms.
  ModelMatrix modelMatrix;
  // The chunk's offsets per complete row (n x 1), empty when the model has none.
  DoubleMatrix offset;
  // Term positions of the first chunk with rows; every later chunk must agree.
  Index firstTermIndicies;
  // Chunk rows left out for missing values, ascending.
  Index missingRows;
  // Chunk rows set aside for other reasons (a factor level the model does not know and the
  // unknown-level map does not replace), ascending. They are in the model matrix, so each
  // takes a prediction row, but their outputs are NaN.
  Index excludedRows;

 private:
  // init's checks and model-matrix binding (throw on failure).
  void prepare();
  // execute's body (throws on failure).
  void runChunk();
  // Rebuilds the model matrix's view of the unknown-level map.
  void syncUnknownLevelView();
  // The chunk's excludedRows: counted, the first described (or thrown under "error").
  void noteUnknownLevels();
  // The closing warning on the rows with unknown levels, if any.
  void reportUnknownLevels();

  std::vector<HostString> columnData_;
  String family_;
  String link_;
  String variance_;
  String mean_;
  String cSourceDirectory_;
  String cDistributionDirectory_;
  std::vector<PredictOutput> outputs_;
  bool cGeneratorRequested_ = false;
  // Replacement levels by input column, copied with the host's copyString.
  std::map<long, HostString> unknownLevels_;
  // The same map as the model matrix takes it (the matrix holds a pointer to it).
  UnknownLevelMap unknownLevelView_;
  std::int64_t missingRowTotal_ = 0;
  long clusterCount_ = 0;
  bool unknownLevelsError_ = false;
  std::int64_t unknownLevelRows_ = 0;
  std::string firstUnknownLevel_;  // "row R, column C, level 'L'"
  std::int64_t chunkStart_ = 0;    // input rows of the chunks before the current one
};
