// MiningModelHandler: ModelHandler for models derived from MiningModel. Adds the mining
// schema (MiningSchema with MiningField children inside the model element) and, at the end of
// the document, hands the model the univariate statistics of its variables and responses.
//
// A MiningField with usageType="predicted" names the response and adds nothing; one without
// a usage type (or with "active") adds a main-effect term for an independent variable; any
// other usage type ("supplementary", ...) is accepted and adds nothing.
#pragma once

#include <string>
#include <unordered_set>

#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/ModelHandler.h"

class MiningModelHandler : public ModelHandler {
 public:
  static constexpr unsigned XML_miningSchema = 0x800;

  // A handler that fills `model` (written through, see ModelHandler).
  explicit MiningModelHandler(const MiningModel& model);
  ~MiningModelHandler() override;

  void startDocument() override;
  void endDocument() override;
  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override;
  void endElement(const XMLCh* const name) override;

 protected:
  MiningModel& miningModel() { return *miningModel_; }

 private:
  void startMiningField(xercesc::AttributeList& attributes);
  bool isDependent(const char* name) const;
  // The statistics rows of `names`, in that order, with the statistics' column names.
  DoubleMatrix statisticsOf(const strVector& names, const char* missingFormat) const;

  MiningModel* miningModel_;
  std::unordered_set<std::string> termNames_;
};
