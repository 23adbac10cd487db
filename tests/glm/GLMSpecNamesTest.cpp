// The user names of families, links and variances against the document texts and R's default
// links (model_spec_names.csv), and the messages (name_messages.tsv).
#include "qmxmisc/glm/GLMSpecNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glm/GlmTestSupport.h"
#include "qmxmisc/base/QMXException.h"

TEST(GLMSpecNames, DocumentNamesOfUserNames) {
  for (const RefRow& row : readRefCsv("glm", "model_spec_names.csv")) {
    SCOPED_TRACE(row.text("family") + "/" + row.text("link") + "/" + row.text("variance"));
    const GLMSpecNames names =
        glmSpecNames(row.text("family"), row.text("link"), row.text("variance"));
    EXPECT_EQ(names.family, row.text("docFamily"));
    EXPECT_EQ(names.link, row.text("docLink"));
    EXPECT_EQ(names.variance, row.text("docVariance"));
  }
  EXPECT_EQ(glmFamilyUserNames().size(), 8u);
  EXPECT_EQ(glmLinkUserNames().size(), 8u);
  EXPECT_EQ(glmVarianceUserNames().size(), 5u);
}

TEST(GLMSpecNames, Failures) {
  for (const std::vector<std::string>& c : refTsvRecords("name_messages.tsv")) {
    if (c[0] == "user") {
      EXPECT_EQ(thrownMessage([&] { glmSpecNames(c[1], c[2], c[3]); }), c[4]);
    }
  }
}
