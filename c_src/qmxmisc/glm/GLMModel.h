// GLMModel: the description of a linear or generalized linear model: the model terms plus a
// model name and a family with its link (owned, cloned on copy), and the family, link and
// variance names it was built from. The chunk-level helpers of the iterative fit and the
// scoring proc (working response, working weights, null deviance) delegate to the family;
// a model without a family behaves as a Gaussian model with identity link.
//
// Writes the opening and closing GeneralRegressionModel element around its fit's content
// (GLMFit::getXML) and is built from a VTML text by GLMFitHandler.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "qmxmisc/glm/GLMFamily.h"
#include "qmxmisc/glm/GLMLink.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"

class GLMModel : public ModelTerms {
 public:
  GLMModel() = default;
  GLMModel(const GLMModel& other);
  GLMModel(GLMModel&& other) noexcept = default;
  GLMModel& operator=(const GLMModel& other);
  GLMModel& operator=(GLMModel&& other) noexcept = default;
  // Reads a VTML document (a GeneralRegressionModel specification or fit) with GLMFitHandler.
  explicit GLMModel(const char* xml);
  ~GLMModel() override;

  // keep false: also clears the model terms, the names and deletes the family.
  void erase(bool keep = false) override;
  // The model terms are valid and the family, when there is one, is valid.
  bool valid(bool quick = false) const override;

  // ModelTerms::beginXMLModel, then the opening GeneralRegressionModel element at level 1
  // (modelName when set, targetVariableName, modelType by distribution). A model without
  // responses throws "Invalid dependent variable index %d. Model has %d dependent variables".
  bool beginXMLModel(std::ostream& os) const override;
  // The closing GeneralRegressionModel element, then ModelTerms::endXMLModel.
  bool endXMLModel(std::ostream& os) const override;

  // --- names ---
  void setName(const char* name) { name_ = String(name); }
  void setName(const String& name) { name_ = name; }
  void setName(const std::string& name) { name_ = String(name); }
  const String& name() const { return name_; }
  void setFamilyName(const char* name) { familyName_ = String(name); }
  void setFamilyName(const String& name) { familyName_ = name; }
  void setFamilyName(const std::string& name) { familyName_ = String(name); }
  const String& getFamilyName() const { return familyName_; }
  void setLinkName(const char* name) { linkName_ = String(name); }
  void setLinkName(const String& name) { linkName_ = name; }
  void setLinkName(const std::string& name) { linkName_ = String(name); }
  const String& getLinkName() const { return linkName_; }
  void setVarName(const char* name) { varName_ = String(name); }
  void setVarName(const String& name) { varName_ = name; }
  void setVarName(const std::string& name) { varName_ = String(name); }
  const String& getVarName() const { return varName_; }

  // --- family ---
  // Stores a clone ("Invalid Family" for an invalid family).
  void setFamily(const GLMFamily& family);
  // Replaces the family with QMX_NewFamily(distribution, link, 0); the names are unchanged.
  void setFamily(GLMFamily::Distribution distribution, GLMLink::Link link);
  // Looks the three names up (GLMFamilyNames.h): all empty leaves the family unchanged; some
  // empty throws "Family,link or variance has not been specified."; "No such family: %s",
  // "No such link: %s". Otherwise the old family is deleted, the names are stored and the
  // new family is made (its constructor's messages pass through, leaving no family).
  void setFamily(const String& family, const String& link, const String& variance);
  // setFamily with the three stored names.
  void setFamily();
  bool hasFamily() const { return family_ != nullptr; }
  // The family; "Invalid Family" when none is set.
  const GLMFamily& family() const;
  // These raise "Invalid Family" when no valid family is set.
  GLMFamily::Distribution distType() const;
  GLMLink::Link linkType() const;
  const char* distName() const;
  const char* linkName() const;
  const GLMLink& link() const;
  // True without a family or for a Gaussian family with identity link: the model whose
  // deviance table ends in "Total" and whose importance uses F statistics.
  bool isGaussianIdentity() const;

  // --- chunk helpers of the iterative fit and of scoring ---
  // From eta: w = (dmu/deta)^2 / V(mu) (V below eps taken as eps) and dmu/deta, element by
  // element, same shape and names as eta. Without a family both are 1.
  void FitWeightsDMuDEta(const TMatrix<double>& eta, TMatrix<double>& w,
                         TMatrix<double>& dmudeta) const;
  // V(mu) element by element (1 without a family).
  TMatrix<double> computeVariance(const TMatrix<double>& mu) const;
  // Null deviance of a chunk: sum over rows i and responses k of d(Y(i,k), mean) * W(i)
  // (W empty: weight 1; W with one column per response: W(i,k)). Without a family d is the
  // squared difference.
  double computeNullDev(const TMatrix<double>& y, const TMatrix<double>& w, double mean) const;
  // The family's matrix evaluation: Y becomes the working response, W the working weights
  // (times the prior weights W held, unless W is the very matrix eta), deviance grows by the
  // chunk's deviance. Without a family: deviance grows by sum (y - eta)^2, Y is unchanged
  // (identity link) and every weight is set to 1.
  void getWorkResp(TMatrix<double>& y, TMatrix<double>& w, double& deviance,
                   const TMatrix<double>& eta) const;

 private:
  std::unique_ptr<GLMFamily> family_;
  String name_;
  String familyName_;
  String linkName_;
  String varName_;
};
