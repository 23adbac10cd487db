// The links by code: names, types and clones, the static identity link, and the matrix forms
// (element by element the scalar functions, names kept). Values: GLMFamilyTest.
#include "qmxmisc/glm/GLMLink.h"

#include <gtest/gtest.h>

#include <memory>

#include "GlmTestSupport.h"

TEST(GLMLink, NamesTypesClonesAndMatrixForms) {
  const char* names[] = {"identity",    "logit",       "log",      "LINKPROBIT",
                         "LINKCLOGLOG", "LINKINVERSE", "LINKSQRT", "LINKMU2INV"};
  const double values[] = {0.1, 0.25, 0.5, 0.9, 0.99, 0.3};
  const TMatrix<double> mu(values, 3, 2, strVector{"a", "b", "c"}, strVector{"u", "v"});
  for (int code = 0; code < 8; ++code) {
    const auto type = static_cast<GLMLink::Link>(code);
    const std::unique_ptr<GLMLink> link = GLMLink::create(type);
    ASSERT_NE(link, nullptr);
    EXPECT_STREQ(link->name(), names[code]);
    EXPECT_EQ(link->type(), type);
    const std::unique_ptr<GLMLink> copy = link->clone();
    EXPECT_NE(copy.get(), link.get());
    EXPECT_EQ(copy->type(), type);
    const TMatrix<double> eta = link->eval(mu);
    const TMatrix<double> back = link->evalInv(eta);
    EXPECT_EQ(eta.getRowNames(), mu.getRowNames());
    EXPECT_EQ(eta.getColNames(), mu.getColNames());
    for (long k = 0; k < mu.size(); ++k) {
      EXPECT_EQ(eta[k], link->eval(values[k])) << names[code];
      EXPECT_EQ(back[k], link->evalInv(eta[k])) << names[code];
      EXPECT_TRUE(qmxtest::near(back[k], values[k], 1e-14, 0.0)) << names[code];
    }
    EXPECT_EQ(link->eval(TMatrix<double>()).size(), 0);
  }
  EXPECT_EQ(GLMLink::create(static_cast<GLMLink::Link>(8)), nullptr);
  EXPECT_EQ(GLMLink::create(static_cast<GLMLink::Link>(-1)), nullptr);
  EXPECT_EQ(&GLMLink::identity(), &GLMLink::identity());
  EXPECT_EQ(GLMLink::identity().type(), GLMLink::Link::Identity);
}
