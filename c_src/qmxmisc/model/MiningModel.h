// MiningModel: a model description with a mining schema (the MiningSchema element inside the
// model element), a model name and the univariate statistics of its variables and responses
// as read from a model document (rows = columns, columns "min", "max", "mean", "std.dev" and
// an unnamed fifth column holding the total frequency).
#pragma once

#include <ostream>

#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/String.h"

class MiningModel : public ModelTerms {
 public:
  MiningModel() = default;
  MiningModel(const MiningModel&) = default;
  MiningModel(MiningModel&&) noexcept = default;
  MiningModel& operator=(const MiningModel&) = default;
  MiningModel& operator=(MiningModel&&) noexcept = default;
  // Builds the description by reading a VTML document text (MiningModelHandler).
  explicit MiningModel(const char* xml);
  ~MiningModel() override = default;

  // keep false also clears the model name and the statistics.
  void erase(bool keep = false) override;

  // Writes the MiningSchema element: the first response with usageType="predicted", then
  // every model variable in terms-table row order.
  virtual bool getXMLSchema(std::ostream& os) const;

  void setModelName(const String& name) { modelName_ = name; }
  const String& modelName() const { return modelName_; }

  // Copy a matrix with its row and column names.
  void setVarStats(const DoubleMatrix& stats) { varStats_ = stats; }
  const DoubleMatrix& varStats() const { return varStats_; }
  void setRespStats(const DoubleMatrix& stats) { respStats_ = stats; }
  const DoubleMatrix& respStats() const { return respStats_; }

  // Copies the description part (terms, responses, factors, intercept, weights name, model
  // name when the source has one, statistics) from another mining model.
  void setModel(const MiningModel& other);

 private:
  String modelName_;
  DoubleMatrix varStats_;
  DoubleMatrix respStats_;
};
