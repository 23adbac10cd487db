// DerivedVariablePasses: what factor(x) and poly(e, k) in a model need from the data before
// a fit can build its model matrix: the levels of factor(x) of a numeric column (R's
// as.character of its distinct values, ordered by value) and the coefficients of poly(e, k)
// (PolyBasis.h). As in R's model frame, factor levels come from the rows the fit uses (the
// fit's filter: no missing value in any model column) while poly() sees every row where its
// own argument is known (R evaluates it before leaving rows out, and refuses a missing x).
//
//   DerivedVariablePasses passes(model, buffer);
//   if (!passes.empty()) do { passes.startPass(); for each chunk: passes.add(filter, reader); }
//                        while (!passes.endPass());
//   passes.apply(model);   // factor infos and poly expressions with their coefficients
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxmisc/framework/QMXFilterBufReader.h"
#include "qmxmisc/model/DerivedVariable.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/model/PolyBasis.h"

class DerivedVariablePasses {
 public:
  DerivedVariablePasses(const ModelTerms& model, const QMXBuf& buffer);

  bool empty() const { return variables_.empty(); }
  void startPass();
  // One chunk: `fit` is the fit's filter over `reader`, the host's reader of the input.
  void add(QMXFilterBufReader& fit, QMXBufReader& reader);
  // True when every variable has what it needs.
  bool endPass();
  void apply(ModelTerms& model) const;

 private:
  struct Variable {
    std::string name;
    std::unique_ptr<DerivedVariable> derived;
    std::vector<int> columns;  // buffer column of each input
    std::set<double> values;   // factor(): distinct values
    std::unique_ptr<PolyCoefficients> poly;
    bool done = false;
  };
  std::vector<Variable> variables_;
};
