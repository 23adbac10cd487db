// GLMFitHandler: fitted documents read back (write -> read -> write gives the same bytes and
// the same results), a model specification read into a GLMModel, and every reader message a
// document can reach, table-driven (document snippet -> full message).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "GlmTestSupport.h"
#include "glm/GLMFitTestSupport.h"
#include "qmxmisc/glm/GLMFitHandler.h"
#include "qmxmisc/model/ModelParse.h"

namespace {

// Equal shapes, names and values (NaN equal to NaN).
template <class T>
::testing::AssertionResult sameTable(const TMatrix<T>& a, const TMatrix<T>& b) {
  if (a.getNRow() != b.getNRow() || a.getNCol() != b.getNCol()) {
    return ::testing::AssertionFailure() << "shapes differ";
  }
  if (a.getRowNames() != b.getRowNames() || a.getColNames() != b.getColNames()) {
    return ::testing::AssertionFailure() << "names differ";
  }
  for (long k = 0; k < a.size(); ++k) {
    const bool bothNaN =
        std::isnan(static_cast<double>(a[k])) && std::isnan(static_cast<double>(b[k]));
    if (a[k] != b[k] && !bothNaN) return ::testing::AssertionFailure() << "element " << k;
  }
  return ::testing::AssertionSuccess();
}

void expectSameResults(const GLMFit& read, const GLMFit& written) {
  EXPECT_TRUE(sameTable(read.coefficients(), written.coefficients()));
  EXPECT_TRUE(sameTable(read.stdErr(), written.stdErr()));
  EXPECT_TRUE(sameTable(read.coefTable(), written.coefTable()));
  EXPECT_TRUE(sameTable(read.deviance(), written.deviance()));
  EXPECT_TRUE(sameTable(read.df(), written.df()));
  EXPECT_TRUE(sameTable(read.termsTable(), written.termsTable()));
  EXPECT_TRUE(sameTable(read.waldStat(), written.waldStat()));
  EXPECT_TRUE(sameTable(read.waldDf(), written.waldDf()));
  EXPECT_TRUE(sameTable<double>(read.getR(), written.getR()));
  EXPECT_EQ(read.corrLabels(), written.corrLabels());
  EXPECT_EQ(read.getModelExtras(), written.getModelExtras());
  EXPECT_EQ(read.intercept(), written.intercept());
  EXPECT_EQ(read.name(), written.name());
}

// A document with a frame of y (dependent), x (continuous), f (levels a, b) and weights w,
// and a GeneralRegressionModel element with the given attributes and content.
std::string specDocument(
    const std::string& body,
    const std::string& attributes = "targetVariableName=\"y\" modelType=\"generalLinear\"",
    const std::string& columns =
        "<ColumnInfo name=\"y\" type=\"continuous\" role=\"dependent\"/>"
        "<ColumnInfo name=\"x\" type=\"continuous\" role=\"independent\"/>"
        "<ColumnInfo name=\"f\" type=\"categorical\" role=\"independent\">"
        "<Level value=\"a\"/><Level value=\"b\"/></ColumnInfo>") {
  return "<?xml version=\"1.0\"?>\n<VTML version=\"3.0\">\n<XTMetaData><ColumnDefinitions>" +
         columns + "</ColumnDefinitions></XTMetaData>\n<GeneralRegressionModel " + attributes +
         ">\n" + body + "\n</GeneralRegressionModel>\n</VTML>\n";
}

const std::string kLists =
    "<FactorList><Predictor name=\"f\"/></FactorList>"
    "<CovariateList><Predictor name=\"x\"/></CovariateList>"
    "<ParameterList><Parameter name=\"(Intercept)\"/><Parameter name=\"x\"/>"
    "<Parameter name=\"f(a)\"/></ParameterList>";
const std::string kPPMatrix =
    "<PPMatrix><PPCell value=\"1\" predictorName=\"x\" variableName=\"x\"/>"
    "<PPCell value=\"a\" predictorName=\"f\" variableName=\"f(a)\"/></PPMatrix>";

std::string pcells(const std::string& lastCell) {
  return kLists + kPPMatrix +
         "<ParamMatrix>"
         "<PCell targetCategory=\"y\" parameterName=\"(Intercept)\" beta=\"1\" df=\"1\" "
         "stdErr=\"0.5\"/>"
         "<PCell targetCategory=\"y\" parameterName=\"x\" beta=\"2\" df=\"1\" stdErr=\"0.5\"/>" +
         lastCell + "</ParamMatrix>";
}

std::string devMatrix(const std::string& open, const std::string& cells) {
  return "<DevMatrix " + open + ">" + cells + "</DevMatrix>";
}

}  // namespace

TEST(GLMFitHandler, WriteReadWriteGivesSameBytesAndResults) {
  for (const GLMFit& written : {gaussianFit(), binomialFit()}) {
    std::ostringstream first;
    ASSERT_TRUE(written.getXML(first));
    const GLMFit read(first.str().c_str());
    expectSameResults(read, written);
    std::ostringstream second;
    ASSERT_TRUE(read.getXML(second));
    EXPECT_EQ(maskTimestamp(second.str()), maskTimestamp(first.str()));
    EXPECT_EQ(read.distType(), written.distType());
    EXPECT_EQ(read.linkType(), written.linkType());
    EXPECT_EQ(read.getFamilyName(), written.getFamilyName());
  }
}

TEST(GLMFitHandler, FullPrecisionValuesSettleAfterOneRoundTrip) {
  // A document carries 15 significant digits: values with more read back within 1e-14
  // relative, and from then on every round trip gives the same bytes.
  GLMFit written = binomialFit();
  TMatrix<double> coef = written.coefficients();
  coef(1, 0) = -8.0834751824446336;  // 17 digits
  coef(2, 0) = 1.0 / 3.0;
  written.setCoefficients(coef);
  std::ostringstream first;
  written.getXML(first);
  const GLMFit once(first.str().c_str());
  for (long k = 0; k < coef.size(); ++k) {
    EXPECT_TRUE(closeTo(once.coefficients()[k], coef[k], 1e-14, 0)) << k;
  }
  std::ostringstream second, third;
  once.getXML(second);
  GLMFit(second.str().c_str()).getXML(third);
  EXPECT_EQ(maskTimestamp(third.str()), maskTimestamp(second.str()));
}

TEST(GLMFitHandler, TermsAndRangesRebuiltFromTheCoefficientTable) {
  std::ostringstream os;
  gaussianFit().getXML(os);
  GLMFit read(os.str().c_str());
  ASSERT_EQ(read.nTerms(), 5);
  const char* labels[] = {"wt", "wt^2", "wt2", "am", "wt:am"};
  for (long t = 0; t < 5; ++t)
    EXPECT_EQ(read.term(t), String(labels[t]));
  EXPECT_EQ(read.termsTable()(0, 1), 2);  // wt^2
  EXPECT_EQ(read.termsTable()(2, 4), 1);  // wt:am
  const Index expected{1, 2, 3, 4, 6, 8};
  EXPECT_EQ(read.termIndices(), expected);
  EXPECT_TRUE(read.intercept());
  EXPECT_EQ(read.nFactors(), 1);
  EXPECT_EQ(read.factorInfo(0L).levels(), (strVector{String("auto"), String("manual")}));

  // A fitted document read into a plain model gives the description only.
  GLMModel model(os.str().c_str());
  EXPECT_EQ(model.nTerms(), 5);
  EXPECT_EQ(model.distType(), GLMFamily::Distribution::Gaussian);
}

TEST(GLMFitHandler, InteractionLabelWithExponentAndWeights) {
  // The coefficient f(a) holds x with exponent 2 and level a of f: its term is x^2:f.
  const std::string document =
      specDocument(kLists +
                   "<PPMatrix><PPCell value=\"1\" predictorName=\"x\" variableName=\"x\"/>"
                   "<PPCell value=\"2\" predictorName=\"x\" variableName=\"f(a)\"/>"
                   "<PPCell value=\"a\" predictorName=\"f\" variableName=\"f(a)\"/></PPMatrix>" +
                   pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" beta=\"3\" df=\"0\" "
                          "stdErr=\"NaN\"/>")
                       .substr(kLists.size() + kPPMatrix.size()));
  GLMFit fit(document.c_str());
  ASSERT_EQ(fit.nTerms(), 2);
  EXPECT_EQ(fit.term(1), String("x^2:f"));
  EXPECT_EQ(fit.termsTable()(0, 1), 2);
  EXPECT_EQ(fit.termsTable()(1, 1), 1);
  EXPECT_EQ(fit.coefficients()(2, 0), 3.0);  // an aliased coefficient keeps its beta
  EXPECT_TRUE(std::isnan(fit.stdErr()(2, 0)));

  // The weights column travels with the frame.
  fit.setWeights("w");
  std::ostringstream first, second;
  fit.getXML(first);
  const GLMFit read(first.str().c_str());
  EXPECT_EQ(read.weights(), String("w"));
  read.getXML(second);
  EXPECT_EQ(maskTimestamp(second.str()), maskTimestamp(first.str()));
}

TEST(GLMFitHandler, SpecificationDocument) {
  const std::string document = specDocument(
      "<Family val=\"Poisson\"/><Link val=\"Log: log(mu)\"/><Var val=\"Identity: mu\"/>"
      "<FactorList><Predictor name=\"f\"/></FactorList>"
      "<CovariateList><Predictor name=\"x\"/></CovariateList>"
      "<LinearModel>"
      "<Term name=\"x\"><TermVar value=\"x\"/></Term>"
      "<Term name=\"f\"><TermVar value=\"f\"/></Term>"
      "<Term name=\"x^2\"><TermVar value=\"x\"/><TermVar value=\"x\"/></Term>"
      "<Term name=\"x:f\"><TermVar value=\"x\"/><TermVar value=\"f\"/></Term>"
      "<Intercept value=\"false\"/>"
      "</LinearModel>"
      "<Weights value=\"w\"/>",
      "modelName=\"spec\" targetVariableName=\"y\" modelType=\"generalLinear\"");
  const GLMModel model(document.c_str());
  EXPECT_EQ(model.name(), String("spec"));
  EXPECT_EQ(model.distType(), GLMFamily::Distribution::Poisson);
  EXPECT_EQ(model.linkType(), GLMLink::Link::Log);
  EXPECT_EQ(model.getVarName(), String("Identity: mu"));
  EXPECT_FALSE(model.intercept());
  EXPECT_EQ(model.weights(), String("w"));
  EXPECT_EQ(model.response(0).name(), String("y"));
  EXPECT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factor(0), String("f"));
  const TMatrix<long> expected =
      longTable({{1, 0, 2, 1}, {0, 1, 0, 1}}, {"x", "f"}, {"x", "f", "x^2", "x:f"});
  EXPECT_TRUE(sameTable(model.termsTable(), expected));
  EXPECT_TRUE(model.valid(false));

  // Intercept on, no LinearModel: one main effect per independent variable.
  const GLMModel plain(specDocument("<Intercept value=\"true\"/>").c_str());
  EXPECT_TRUE(plain.intercept());
  EXPECT_EQ(plain.nTerms(), 2);
  EXPECT_EQ(plain.distType(), GLMFamily::Distribution::Gaussian);
  EXPECT_TRUE(plain.getFamilyName().empty());
}

TEST(GLMFitHandler, ModelTypeSelectsTheFamily) {
  struct Case {
    const char* modelType;
    bool hasFamily;
    GLMFamily::Distribution distribution;
  };
  const Case cases[] = {{"regression", true, GLMFamily::Distribution::Gaussian},
                        {"multinomialLogistic", true, GLMFamily::Distribution::Binomial},
                        {"loglinear", true, GLMFamily::Distribution::Poisson},
                        {"GLM", false, GLMFamily::Distribution::Gaussian}};
  for (const Case& c : cases) {
    const GLMModel model(
        specDocument("", std::string("targetVariableName=\"y\" modelType=\"") + c.modelType + "\"")
            .c_str());
    EXPECT_EQ(model.hasFamily(), c.hasFamily) << c.modelType;
    if (c.hasFamily) {
      EXPECT_EQ(model.distType(), c.distribution) << c.modelType;
    }
  }
}

TEST(GLMFitHandler, ReaderMessages) {
  const std::string noDependent =
      "<ColumnInfo name=\"x\" type=\"continuous\" role=\"independent\"/>";
  const std::string onlyDependent =
      "<ColumnInfo name=\"y\" type=\"continuous\" role=\"dependent\"/>";
  const std::string goodCell =
      "<PCell targetCategory=\"y\" parameterName=\"f(a)\" beta=\"1\" df=\"1\" stdErr=\"1\"/>";
  const std::string gaussian = "targetVariableName=\"y\" modelType=\"generalLinear\"";
  struct Case {
    std::string document;
    const char* message;
  };
  const Case cases[] = {
      // the model element
      {specDocument("", "targetVariableName=\"y\""),
       "missing modelType attribute in GeneralRegressionModel element"},
      {specDocument("", "modelType=\"generalLinear\""),
       "bad targetVariableName attribute in GeneralRegressionModel element"},
      {specDocument("", "targetVariableName=\"z\" modelType=\"GLM\""),
       "targetVariableName z not specified in the DataDictionary element"},
      {specDocument("", gaussian, noDependent),
       "no dependent variable specified in the DataDictionary element"},
      {specDocument("<GeneralRegressionModel/>"), "unexpected GeneralRegressionModel element"},
      {specDocument("<Foo/>"), "bad Foo element"},
      {specDocument("<ParamMatrix><Foo/></ParamMatrix>"), "bad Foo element"},
      // family names
      {specDocument("<Var val=\"Constant: 1\"/>"),
       "Family,link or variance has not been specified."},
      {specDocument("<Family val=\"Nope\"/><Link val=\"Log: log(mu)\"/><Var val=\"Constant: 1\"/>"),
       "No such family: Nope"},
      {specDocument("<FactorList><Family val=\"Gamma\"/></FactorList>"),
       "unexpected Family element"},
      // predictors
      {specDocument("<FactorList><Predictor/></FactorList>"),
       "missing name attribute in GeneralRegressionModel element"},
      {specDocument("<CovariateList><Predictor name=\"q\"/></CovariateList>"),
       "variable q specified as a Predictor was not specified in the DataDictionary"},
      {specDocument("<FactorList><Predictor name=\"x\"/></FactorList>"),
       "factorList identifies Predictor x as categorical, but no categories were defined in the "
       "ColumnDefinitions or DataDictionary"},
      {specDocument("<Predictor name=\"x\"/>"), "unexpected Predictor element"},
      // linear model
      {specDocument("<LinearModel><Term/></LinearModel>"),
       "missing Term name attribute in LinearModel element"},
      {specDocument("<LinearModel><Term name=\"x\"/><Term name=\"x\"/></LinearModel>"),
       "term x referenced more than one time"},
      {specDocument("<LinearModel><Term name=\"x\"><TermVar/></Term></LinearModel>"),
       "missing Term name attribute in LinearModel element"},
      {specDocument("<LinearModel><Term name=\"q\"><TermVar value=\"q\"/></Term></LinearModel>"),
       "variable q not specified as independent variable in the ColumnDefinitions or "
       "DataDictionary"},
      {specDocument("<LinearModel><Term name=\"y\"><TermVar value=\"y\"/></Term></LinearModel>",
                    gaussian, onlyDependent),
       "no variables specified in the ColumnDefinitions or DataDictionary"},
      {specDocument("<TermVar value=\"x\"/>"), "unexpected TermVar element"},
      {specDocument("<LinearModel><Term name=\"x\"><Term name=\"z\"/></Term></LinearModel>"),
       "unexpected Term element"},
      {specDocument("<Intercept/>"), "missing Term name attribute in LinearModel element"},
      {specDocument("<LinearModel><Weights/></LinearModel>"),
       "missing Term name attribute in LinearModel element"},
      // parameters
      {specDocument("<Parameter name=\"x\"/>"), "unexpected Parameter element"},
      {specDocument("<ParameterList><Parameter/></ParameterList>"),
       "missing name attribute in Parameter element"},
      {specDocument("<ParameterList></ParameterList>"),
       "no Parameter(s) specified in the ParameterList element"},
      {specDocument(kLists), "invalid coefficient table. No variables defined for coefficient x"},
      // parameter-to-predictor matrix
      {specDocument(kLists + "<PPMatrix><PPCell value=\"1\" variableName=\"x\"/></PPMatrix>"),
       "missing predictorName attribute in PPCell element"},
      {specDocument(kLists + "<PPMatrix><PPCell predictorName=\"q\"/></PPMatrix>"),
       "predictorName q was not specified in the ColumnDefinitions or DataDictionary"},
      {specDocument(kLists + "<PPMatrix><PPCell predictorName=\"y\"/></PPMatrix>"),
       "predictorName y was not specified in either the FactorList or CovariateList"},
      {specDocument(kLists + "<PPMatrix><PPCell predictorName=\"x\"/></PPMatrix>"),
       "missing value attribute in PPCell element"},
      {specDocument(kLists + "<PPMatrix><PPCell value=\"c\" predictorName=\"f\"/></PPMatrix>"),
       "value c was not specified as a level for factor f"},
      {specDocument(kLists + "<PPMatrix><PPCell value=\"b\" predictorName=\"f\"/></PPMatrix>"),
       "missing variableName attribute in PPCell element"},
      {specDocument(
           kLists +
           "<PPMatrix><PPCell value=\"1\" predictorName=\"x\" variableName=\"z\"/></PPMatrix>"),
       "variableName z was not specified as a Parameter in the ParameterList"},
      {specDocument(
           kLists +
           "<PPMatrix><PPCell value=\"0\" predictorName=\"x\" variableName=\"x\"/></PPMatrix>"),
       "invalid parameter-to-predictor matrix, PPMatrix"},
      {specDocument(kLists +
                    "<PPMatrix><PPCell value=\"1\" predictorName=\"x\" variableName=\"x\"/>"
                    "<PPCell value=\"2\" predictorName=\"x\" variableName=\"x\"/></PPMatrix>"),
       "invalid parameter-to-predictor matrix, PPMatrix"},
      {specDocument("<PPCell value=\"1\"/>"), "unexpected PPCell element"},
      // parameter matrix
      {specDocument(pcells("<PCell parameterName=\"f(a)\"/>")),
       "missing targetCategory attribute in PCell element"},
      {specDocument(pcells("<PCell targetCategory=\"q\"/>")),
       "targetCategory q does not match any specified in GeneralRegressionModel element"},
      {specDocument(pcells("<PCell targetCategory=\"y\"/>")),
       "Missing parameterName attribute in PCell element"},
      {specDocument(pcells("<PCell targetCategory=\"y\" parameterName=\"z\"/>")),
       "parameterName z was not specified in the ParameterList element"},
      {specDocument(pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" beta=\"1\"/>")),
       "missing df attribute in PCell element"},
      {specDocument(pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"2\"/>")),
       "invalid df attribute, 2, in PCell element"},
      {specDocument(
           pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"1\" beta=\"b\"/>")),
       "invalid beta attribute in PCell element"},
      {specDocument(
           pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"1\" beta=\"1\"/>")),
       "missing stdErr attribute in PCell element"},
      {specDocument(pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"1\" beta=\"1\" "
                           "stdErr=\"s\"/>")),
       "invalid stdErr attribute in PCell element"},
      {specDocument(
           pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"1\" stdErr=\"1\"/>")),
       "must have a beta attribute in PCell element when df>0"},
      {specDocument(pcells("")), "invalid parameter matrix, ParamMatrix"},
      {specDocument(pcells("<PCell targetCategory=\"y\" parameterName=\"f(a)\" df=\"one\"/>")),
       "fatal error parsing XML"},
      {specDocument("<PCell targetCategory=\"y\"/>"), "unexpected PCell element"},
      // analysis of deviance
      {specDocument(devMatrix("count=\"1\"", "")),
       "missing targetCategory attribute in DevCell element"},
      {specDocument(devMatrix("targetCategory=\"q\" count=\"1\"", "")),
       "dependent variable q specified in DevMatrix is not in the model"},
      {specDocument(devMatrix("targetCategory=\"y\"", "")),
       "missing count attribute in DevMatrix element"},
      {specDocument(devMatrix("targetCategory=\"y\" count=\"1\"", "<DevCell df=\"1\" dev=\"1\"/>")),
       "missing source attribute in DevCell element"},
      {specDocument(devMatrix("targetCategory=\"y\" count=\"1\"",
                              "<DevCell source=\"Error\" df=\"1\" dev=\"1\"/>"
                              "<DevCell source=\"Total\" df=\"1\" dev=\"1\"/>")),
       "number of sources of variation exceeds count 1 specified in DevMatrix element"},
      {specDocument(devMatrix("targetCategory=\"y\" count=\"1\"", "<DevCell source=\"Error\"/>")),
       "missing df attribute in DevCell element"},
      {specDocument(
           devMatrix("targetCategory=\"y\" count=\"1\"", "<DevCell source=\"Error\" df=\"1\"/>")),
       "missing dev attribute in DevCell element"},
      {specDocument(devMatrix("targetCategory=\"y\" count=\"1\"",
                              "<DevCell source=\"Error\" df=\"1\" dev=\"d\"/>")),
       "invalid dev attribute in DevCel element"},
      {specDocument("<ParamMatrix>" + devMatrix("targetCategory=\"y\" count=\"1\"", "") +
                    "</ParamMatrix>"),
       "unexpected ModelStats element"},
      {specDocument("<DevCell source=\"Error\"/>"), "unexpected DevCell element"},
      // the library's own result elements
      {specDocument("<CoefCorr count=\"1\"/>"), "missing threshold attribute in CoefCorr element"},
      {specDocument("<CoefCorr threshold=\"0.5\"><CorrCell value=\"1\"/></CoefCorr>"),
       "missing coef attribute in CorrCell element"},
      {specDocument("<Importance count=\"1\" targetCategory=\"q\"/>"),
       "dependent variable q specified in Importance is not in the model"},
      {specDocument("<Importance targetCategory=\"y\"><Effect name=\"x\" df=\"1\"/></Importance>"),
       "missing value attribute in Effect element"},
      {specDocument("<RMatrix nRows=\"1\" nCols=\"1\"><Row num=\"1\"/></RMatrix>"),
       "bad Row num 1 in RMatrix element"},
      {specDocument("<QTYMatrix nRows=\"1\"/>"), "missing nCols attribute in QTYMatrix element"},
      {specDocument("<Row num=\"0\"/>"), "unexpected Row element"},
      {specDocument(
           "<ModelExtraInfo><Family val=\"Gamma\"/><Link val=\"Log: log(mu)\"/>"
           "<Var val=\"Constant: 1\"/><Mean val=\"1\"/><Link><Var/></Link></ModelExtraInfo>"),
       "unexpected Var element"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(throwsMessage([&] { GLMFit fit(c.document.c_str()); }, c.message)) << c.document;
  }
  EXPECT_TRUE(throwsMessage([&] { ModelParseXMLString(GLMFitHandler(), specDocument("").c_str()); },
                            "Bad model object"));
}

TEST(GLMFitHandler, ExtrasNameTheFamily) {
  const GLMFit fit(
      specDocument("<ModelExtraInfo><Family val=\"Gamma\"/><Link val=\"Log: log(mu)\"/>"
                   "<Mean val=\"2.5\"/><Var val=\"Constant: 1\"/><Iterations val=\"3\"/>"
                   "</ModelExtraInfo>",
                   "targetVariableName=\"y\" modelType=\"GLM\"")
          .c_str());
  EXPECT_EQ(fit.distType(), GLMFamily::Distribution::Gamma);
  EXPECT_EQ(fit.getNumModelExtras(), 5);
  EXPECT_EQ(fit.getModelExtras()[5], String("2.5"));
  // Without a variance name the family of the model type stays.
  const GLMFit partial(specDocument("<ModelExtraInfo><Family val=\"Gamma\"/></ModelExtraInfo>",
                                    "targetVariableName=\"y\" modelType=\"loglinear\"")
                           .c_str());
  EXPECT_EQ(partial.distType(), GLMFamily::Distribution::Poisson);
  EXPECT_EQ(partial.getFamilyName(), String("Gamma"));
}
