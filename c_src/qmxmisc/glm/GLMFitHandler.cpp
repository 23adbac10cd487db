// GLMFitHandler: the element table of a GeneralRegressionModel, specification and fit.
#include "qmxmisc/glm/GLMFitHandler.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelLimits.h"

namespace {

constexpr const char* kModel = "GeneralRegressionModel";
constexpr const char* kSpecFatal = "ratal error parsing XML";
constexpr const char* kFatal = "fatal error parsing XML";
constexpr const char* kTermName = "missing Term name attribute in LinearModel element";

std::string missing(const char* attribute, const std::string& element) {
  return std::string("missing ") + attribute + " attribute in " + element + " element";
}

std::string invalid(const char* attribute, const std::string& element) {
  return std::string("invalid ") + attribute + " attribute in " + element + " element";
}

// The path of an element inside the model element.
std::string in(const std::string& path) {
  return path.empty() ? std::string(kModel) : std::string(kModel) + "/" + path;
}

// "false", "0" and "no" (any case) turn the intercept off; any other value keeps it.
bool interceptValue(const std::string& text) {
  return strcasecmp(text.c_str(), "false") != 0 && text != "0" &&
         strcasecmp(text.c_str(), "no") != 0;
}

}  // namespace

GLMFitHandler::GLMFitHandler(const GLMModel& model)
    : ElementTableHandler<ModelHandler>(model),
      glm_(const_cast<GLMModel*>(&model)),  // see ModelHandler: written through
      fit_(dynamic_cast<GLMFit*>(glm_)) {
  addRules();
}

GLMFitHandler::GLMFitHandler() {
  addRules();
}

GLMFitHandler::~GLMFitHandler() = default;

GLMModel& GLMFitHandler::glm() {
  if (glm_ == nullptr) QMX_ThrowException("Bad model object");
  return *glm_;
}

long GLMFitHandler::resultResponse(ElementAttributes& a, const char* missingIn,
                                   const char* element) {
  const std::string target = a.required("targetCategory", missing("targetCategory", missingIn));
  // DevMatrix alone says that there are no responses at all.
  if (std::strcmp(element, "DevMatrix") == 0 && dependentNames().empty()) {
    QMX_ThrowException("dependent variables are not specified in the ColumnInfo element");
  }
  const long response = dependentIndex(target);
  if (response < 0) {
    QMX_ThrowException("dependent variable %s specified in %s is not in the model", target.c_str(),
                       element);
  }
  return response;
}

void GLMFitHandler::addSpecRules() {
  ElementTable& t = table();
  auto spec = [&t](const char* name, const std::string& parent, ElementRule::Start start) {
    t.add({name, parent, std::move(start), {}, {}, kSpecFatal});
  };
  spec(kModel, "", [this](ElementAttributes& a) {
    a.required("modelType", missing("modelType", kModel));
    using D = GLMFamily::Distribution;
    using L = GLMLink::Link;
    const std::pair<D, L> gaussian{D::Gaussian, L::Identity};
    const auto family = a.choice<std::optional<std::pair<D, L>>>(
        "modelType",
        {{"generalLinear", gaussian},
         {"regression", gaussian},
         {"multinomialLogistic", std::pair{D::Binomial, L::Logit}},
         {"loglinear", std::pair{D::Poisson, L::Log}}},
        std::nullopt);  // other types leave the family
    if (family) glm().setFamily(family->first, family->second);
    if (const auto name = a.text("modelName")) glm().setName(*name);
    const std::string target = a.required(
        "targetVariableName", "bad targetVariableName attribute in GeneralRegressionModel element");
    if (dependentNames().empty()) {
      QMX_ThrowException("no dependent variable specified in the DataDictionary element");
    }
    if (dependentIndex(target) < 0) {
      QMX_ThrowException("targetVariableName %s not specified in the DataDictionary element",
                         target.c_str());
    }
  });
  spec("Family", in(""),
       [this](ElementAttributes& a) { glm().setFamilyName(a.text("val").value_or("")); });
  spec("Link", in(""),
       [this](ElementAttributes& a) { glm().setLinkName(a.text("val").value_or("")); });
  spec("Var", in(""), [this](ElementAttributes& a) {
    glm().setVarName(a.text("val").value_or(""));
    glm().setFamily();
  });
  for (const char* list : {"FactorList", "CovariateList"}) {
    const bool factors = std::strcmp(list, "FactorList") == 0;
    spec(list, in(""), {});
    spec("Predictor", in(list), [this, factors](ElementAttributes& a) {
      const std::string name = a.required("name", missing("name", kModel));
      const long column = findColumn(name.c_str());
      if (column < 0) {
        QMX_ThrowException(
            "variable %s specified as a Predictor was not specified in the DataDictionary",
            name.c_str());
      }
      if (factors && columns()[static_cast<std::size_t>(column)].length() < 1) {
        QMX_ThrowException(
            "factorList identifies Predictor %s as categorical, but no categories were "
            "defined in the ColumnDefinitions or DataDictionary",
            name.c_str());
      }
      (factors ? factorList_ : covariateList_).insert(name);
    });
  }
  spec("LinearModel", in(""), [this](ElementAttributes&) { sawLinearModel_ = true; });
  spec("Term", in("LinearModel"), [this](ElementAttributes& a) {
    const std::string name = a.required("name", kTermName);
    for (const String& term : termNames_) {
      if (term.str() == name)
        QMX_ThrowException("term %s referenced more than one time", name.c_str());
    }
    termNames_.push_back(String(name));
    termPowers_.emplace_back();
  });
  spec("TermVar", in("LinearModel/Term"), [this](ElementAttributes& a) {
    const std::string name = a.required("value", kTermName);
    if (independentNames().empty()) {
      QMX_ThrowException("no variables specified in the ColumnDefinitions or DataDictionary");
    }
    if (independentIndex(name) < 0) {
      QMX_ThrowException(
          "variable %s not specified as independent variable in the ColumnDefinitions or "
          "DataDictionary",
          name.c_str());
    }
    ++termPowers_.back()[name];  // x named twice in one term is x^2
  });
  for (const char* parent : {"", "LinearModel"}) {
    spec("Intercept", in(parent), [this](ElementAttributes& a) {
      sawIntercept_ = true;
      intercept_ = interceptValue(a.required("value", kTermName));
    });
    spec("Weights", in(parent), [this](ElementAttributes& a) {
      glm().setWeights(String(a.required("value", kTermName)));
    });
  }
}

void GLMFitHandler::addRules() {
  table().unknown("bad %s element", {"MiningSchema", "MiningField"});
  table().misplaced("unexpected %s element", {{"DevMatrix", "unexpected ModelStats element"}});
  table().fatalMessage(kFatal);
  addSpecRules();
  ElementTable& t = table();
  auto rule = [&t](const char* name, const std::string& parent, ElementRule::Start start,
                   ElementRule::End end = {}) {
    t.add({name, parent, std::move(start), std::move(end)});
  };

  rule("ParameterList", in(""), {}, [this] {
    if (parameters_.empty()) {
      QMX_ThrowException("no Parameter(s) specified in the ParameterList element");
    }
  });
  rule("Parameter", in("ParameterList"), [this](ElementAttributes& a) {
    const std::string name = a.required("name", missing("name", "Parameter"));
    if (static_cast<long>(parameters_.size()) >= kMaxModelColumns)
      QMX_ThrowException("more than %ld Parameter elements in the ParameterList element",
                         kMaxModelColumns);
    if (parameterIndex_.emplace(name, static_cast<long>(parameters_.size())).second) {
      parameters_.push_back(String(name));
    }
  });
  rule("PPMatrix", in(""), [this](ElementAttributes&) {
    const long p = static_cast<long>(parameters_.size());
    const long nVariables = static_cast<long>(independentNames().size());
    coefTable_ = p > 0 && nVariables > 0 ? TMatrix<long>(p, nVariables) : TMatrix<long>();
  });
  rule("PPCell", in("PPMatrix"), [this](ElementAttributes& a) {
    const std::string predictor = a.required("predictorName", missing("predictorName", "PPCell"));
    const long column = findColumn(predictor.c_str());
    if (column < 0) {
      QMX_ThrowException(
          "predictorName %s was not specified in the ColumnDefinitions or DataDictionary",
          predictor.c_str());
    }
    const bool isFactor = factorList_.count(predictor) != 0;
    if (!isFactor && covariateList_.count(predictor) == 0) {
      QMX_ThrowException(
          "predictorName %s was not specified in either the FactorList or CovariateList",
          predictor.c_str());
    }
    const std::string value = a.required("value", missing("value", "PPCell"));
    long cell = 0;
    if (isFactor) {
      const strVector& levels = columns()[static_cast<std::size_t>(column)].levels();
      for (std::size_t levelIdx = 0; levelIdx < levels.size() && cell == 0; ++levelIdx) {
        if (levels[levelIdx].str() == value) cell = static_cast<long>(levelIdx) + 1;
      }
      if (cell == 0) {
        QMX_ThrowException("value %s was not specified as a level for factor %s", value.c_str(),
                           predictor.c_str());
      }
    } else {
      // A covariate's value is its exponent, a positive integer.
      char* end = nullptr;
      cell = std::strtol(value.c_str(), &end, 10);
      if (*end != '\0' || cell < 1)
        QMX_ThrowException("invalid parameter-to-predictor matrix, PPMatrix");
      if (cell > kMaxTermPower)
        QMX_ThrowException("PPCell value %s for predictor %s is above the power limit of %ld",
                           value.c_str(), predictor.c_str(), kMaxTermPower);
    }
    const std::string coefficient = a.required("variableName", missing("variableName", "PPCell"));
    const auto parameter = parameterIndex_.find(coefficient);
    if (parameter == parameterIndex_.end()) {
      QMX_ThrowException("variableName %s was not specified as a Parameter in the ParameterList",
                         coefficient.c_str());
    }
    const long variable = independentIndex(predictor);
    if (variable < 0 || coefTable_.size() == 0 || coefTable_(parameter->second, variable) != 0) {
      QMX_ThrowException("invalid parameter-to-predictor matrix, PPMatrix");
    }
    coefTable_(parameter->second, variable) = cell;
  });
  rule(
      "ParamMatrix", in(""),
      [this](ElementAttributes&) {
        const long p = static_cast<long>(parameters_.size());
        const long q = static_cast<long>(dependentNames().size());
        if (p > 0 && q > 0) {
          coef_ = TMatrix<double>(p, q, parameters_, dependentNames());
          stdErr_ = TMatrix<double>(p, q, parameters_, dependentNames());
        }
        paramSet_.assign(static_cast<std::size_t>(p * q), 0);
      },
      [this] {
        bool complete = !paramSet_.empty();
        for (char set : paramSet_)
          complete = complete && set != 0;
        if (!complete) QMX_ThrowException("invalid parameter matrix, ParamMatrix");
      });
  rule("PCell", in("ParamMatrix"), [this](ElementAttributes& a) {
    const std::string target = a.required("targetCategory", missing("targetCategory", "PCell"));
    const long response = dependentIndex(target);
    if (response < 0) {
      QMX_ThrowException(
          "targetCategory %s does not match any specified in GeneralRegressionModel element",
          target.c_str());
    }
    const std::string name =
        a.required("parameterName", "Missing parameterName attribute in PCell element");
    const auto parameter = parameterIndex_.find(name);
    if (parameter == parameterIndex_.end() || coef_.size() == 0) {
      QMX_ThrowException("parameterName %s was not specified in the ParameterList element",
                         name.c_str());
    }
    const long df = a.integer("df", missing("df", "PCell"), kFatal);
    if (df != 0 && df != 1) {
      QMX_ThrowException("invalid df attribute, %d, in PCell element", static_cast<int>(df));
    }
    const std::optional<double> beta = a.finite("beta", invalid("beta", "PCell"));
    const double stdErr =
        a.number("stdErr", missing("stdErr", "PCell"), invalid("stdErr", "PCell"));
    if (!beta && df > 0) {
      QMX_ThrowException("must have a beta attribute in PCell element when df>0");
    }
    const long row = parameter->second;
    if (paramSet_[static_cast<std::size_t>(row + response * coef_.getNRow())] != 0)
      QMX_ThrowException("PCell for parameter %s and target %s appears twice in the ParamMatrix",
                         name.c_str(), target.c_str());
    coef_(row, response) = beta.value_or(0.0);
    stdErr_(row, response) = df == 0 ? std::nan("") : stdErr;  // df 0: an aliased coefficient
    if (aliased_.size() < static_cast<std::size_t>(coef_.getNRow()))
      aliased_.resize(static_cast<std::size_t>(coef_.getNRow()), false);
    if (df == 0) aliased_[static_cast<std::size_t>(row)] = true;
    paramSet_[static_cast<std::size_t>(row + response * coef_.getNRow())] = 1;
  });
  rule("DevMatrix", in(""), [this](ElementAttributes& a) {
    const long response = resultResponse(a, "DevCell", "DevMatrix");
    deviance_.count = a.integer("count", missing("count", "DevMatrix"), kFatal);
    deviance_.start(response, dependentNames().size());
  });
  rule("DevCell", in("DevMatrix"), [this](ElementAttributes& a) {
    const String source(a.required("source", missing("source", "DevCell")));
    if (deviance_.cells >= deviance_.count) {
      QMX_ThrowException(
          "number of sources of variation exceeds count %d specified in DevMatrix element",
          static_cast<int>(deviance_.count));
    }
    const long df = a.integer("df", missing("df", "DevCell"), kFatal);
    deviance_.set(source, df, a.number("dev", missing("dev", "DevCell"), invalid("dev", "DevCel")));
  });
  rule("CoefCorr", in(""), [this](ElementAttributes& a) {
    corrThreshold_ =
        a.number("threshold", missing("threshold", "CoefCorr"), invalid("threshold", "CoefCorr"));
    corrLabels_.clear();
    corrValues_.clear();
  });
  rule("CorrCell", in("CoefCorr"), [this](ElementAttributes& a) {
    corrLabels_.push_back(String(a.required("coef", missing("coef", "CorrCell"))));
    corrValues_.push_back(
        a.number("value", missing("value", "CorrCell"), invalid("value", "CorrCell")));
  });
  rule("Importance", in(""), [this](ElementAttributes& a) {
    importance_.start(resultResponse(a, "Importance", "Importance"), dependentNames().size());
  });
  rule("Effect", in("Importance"), [this](ElementAttributes& a) {
    const String name(a.required("name", missing("name", "Effect")));
    const double value = a.number("value", missing("value", "Effect"), invalid("value", "Effect"));
    importance_.set(name, a.integer("df", missing("df", "Effect"), kFatal), value);
  });
  for (const char* element : {"RMatrix", "QTYMatrix"}) {
    DoubleMatrix& target = std::strcmp(element, "RMatrix") == 0 ? r_ : qty_;
    rule(element, in(""), [this, element, &target](ElementAttributes& a) {
      const long nRows = a.integer("nRows", missing("nRows", element), kFatal);
      const long nCols = a.integer("nCols", missing("nCols", element), kFatal);
      if (nRows < 0 || nCols < 0) QMX_ThrowException("invalid dimensions in %s element", element);
      target = nRows > 0 && nCols > 0 ? DoubleMatrix(nRows, nCols) : DoubleMatrix();
      matrix_ = &target;
    });
    rule("Row", in(element), [this, element](ElementAttributes& a) {
      matrixRow_ = a.integer("num", missing("num", "Row"), kFatal);
      if (matrixRow_ < 0 || matrixRow_ >= matrix_->getNRow()) {
        QMX_ThrowException("bad Row num %ld in %s element", matrixRow_, element);
      }
    });
    rule("Col", in(std::string(element) + "/Row"), [this, element](ElementAttributes& a) {
      const long col = a.integer("num", missing("num", "Col"), kFatal);
      if (col < 0 || col >= matrix_->getNCol()) {
        QMX_ThrowException("bad Col num %ld in %s element", col, element);
      }
      (*matrix_)(matrixRow_, col) = a.number("val", missing("val", "Col"), invalid("val", "Col"));
    });
  }
  rule(
      "ModelExtraInfo", in(""), [this](ElementAttributes&) { extras_.clear(); },
      [this] {
        // Extras written by the iterative fit name the family; built when all three are given.
        if (!glm().getFamilyName().empty() && !glm().getLinkName().empty() &&
            !glm().getVarName().empty()) {
          glm().setFamily();
        }
      });
  rule("*", in("ModelExtraInfo"), [this](ElementAttributes& a) {
    const String name(a.element());
    const String value(a.text("val").value_or(""));
    extras_.push_back(name);
    extras_.push_back(value);
    if (name.str() == "Family") glm().setFamilyName(value);
    if (name.str() == "Link") glm().setLinkName(value);
    if (name.str() == "Var") glm().setVarName(value);
  });
}
