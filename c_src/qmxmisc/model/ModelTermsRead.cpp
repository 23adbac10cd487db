// The constructors that build a model description from a VTML document text.
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/model/ModelHandler.h"
#include "qmxmisc/model/ModelParse.h"
#include "qmxmisc/model/ModelTerms.h"

ModelTerms::ModelTerms(const char* xml) {
  ModelParseXMLString(ModelHandler(*this), xml);
}

MiningModel::MiningModel(const char* xml) {
  ModelParseXMLString(MiningModelHandler(*this), xml);
}
