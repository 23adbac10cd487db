// Shared helpers of the model-document reader tests: document frames and the message of the
// QMXException a call throws.
#pragma once

#include <string>

#include "model/ModelTestSupport.h"
#include "support/ThrownMessage.h"

namespace qmx_test {

// The declaration and VTML root around `body`.
inline std::string vtml(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<VTML version=\"3.0\">\n" + body + "</VTML>\n";
}

// XTMetaData/ColumnDefinitions around `columns`, inside the VTML root.
inline std::string withColumns(const std::string& columns, const std::string& rest = "") {
  return vtml("<XTMetaData>\n<ColumnDefinitions>\n" + columns +
              "</ColumnDefinitions>\n</XTMetaData>\n" + rest);
}

// A document in the form the frame writer produces: categorical response y (levels no, yes),
// continuous x, categorical f (levels a, b), weights w, and the mining schema.
inline const char* kFrameDocument = R"(<?xml version="1.0"?>
<VTML version="3.0">
  <Header copyright="Valdrin" name="y">
    <Application name="Valdrin Telvar" version="3.0"/>
    <Timestamp>2007/01/31 09:05:07</Timestamp>
  </Header>
  <XTMetaData>
    <ColumnDefinitions fieldCount="3">
      <ColumnInfo name="y" type="categorical" role="dependent">
        <Level value="no"/>
        <Level value="yes"/>
      </ColumnInfo>
      <ColumnInfo name="x" type="continuous" role="independent"/>
      <ColumnInfo name="f" type="categorical" role="independent">
        <Level value="a"/>
        <Level value="b"/>
      </ColumnInfo>
      <ColumnInfo name="w" type="continuous" role="weights"/>
    </ColumnDefinitions>
  </XTMetaData>
  <GeneralRegressionModel modelType="regression">
    <MiningSchema>
      <MiningField name="y" usageType="predicted"/>
      <MiningField name="x"/>
      <MiningField name="f"/>
    </MiningSchema>
  </GeneralRegressionModel>
</VTML>
)";

}  // namespace qmx_test
