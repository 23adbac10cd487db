// The formatting helpers of the document writers and the header time text.
#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <string>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/model/VtmlTimestamp.h"

TEST(ModelTermsFormat, Numbers) {
  const struct {
    std::string got;
    const char* want;
  } cases[] = {
      {ModelTerms::QFormat(0.1), "\"0.1\""},
      {ModelTerms::QFormat(1.0 / 3.0), "\"0.333333333333333\""},
      {ModelTerms::Format(1.0 / 3.0), "0.333333333333333"},
      {ModelTerms::Format(-2.5e-300), "-2.5e-300"},
      {ModelTerms::Format(123456789012345678.0), "1.23456789012346e+17"},
      {ModelTerms::Format(3.0), "3"},
      {ModelTerms::QFormat(-42L), "\"-42\""},
      {ModelTerms::QFormat(7), "\"7\""},
      {ModelTerms::QFormat(4294967295U), "\"4294967295\""},
      {ModelTerms::QFormat(ULONG_MAX), "\"18446744073709551615\""},
      {ModelTerms::QFormat(LLONG_MIN), "\"-9223372036854775808\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.got, c.want);
}

TEST(ModelTermsFormat, QuoteEscapesTheFiveCharacters) {
  EXPECT_STREQ(ModelTerms::QFormat("<&\">'"), "\"&lt;&amp;&quot;&gt;&apos;\"");
  EXPECT_STREQ(ModelTerms::Quote("a b\xc3\xa9"), "\"a b\xc3\xa9\"");  // other bytes as is
  EXPECT_STREQ(ModelTerms::Quote(""), "\"\"");
  EXPECT_STREQ(ModelTerms::Quote(nullptr), "");
  EXPECT_STREQ(ModelTerms::Indent("<x/>", 2), "    <x/>");
  EXPECT_STREQ(ModelTerms::Indent("<x/>", -3), "   <x/>");
  EXPECT_STREQ(ModelTerms::Indent(ModelTerms::Quote("q"), 1), "  \"q\"");  // aliased input
  // The text and number families keep separate buffers.
  const char* text = ModelTerms::Quote("t");
  const char* number = ModelTerms::QFormat(1L);
  EXPECT_STREQ(text, "\"t\"");
  EXPECT_STREQ(number, "\"1\"");
}

TEST(ModelTermsFormat, TextLimitIs4999Characters) {
  const std::string limit = "character buffer limit exceeded";
  EXPECT_EQ(std::string(ModelTerms::Quote(std::string(4997, 'a').c_str())).size(), 4999U);
  EXPECT_EQ(thrownMessage([] { ModelTerms::Quote(std::string(4998, 'a').c_str()); }), limit);
  EXPECT_EQ(thrownMessage([] { ModelTerms::QFormat(std::string(5000, 'a').c_str()); }), limit);
  // Escapes count with their full length: 1000 ampersands become 5000 characters.
  EXPECT_EQ(thrownMessage([] { ModelTerms::Quote(std::string(1000, '&').c_str()); }), limit);
  EXPECT_EQ(std::string(ModelTerms::Indent(std::string(4989, 'b').c_str(), 5)).size(), 4999U);
  EXPECT_EQ(thrownMessage([] { ModelTerms::Indent(std::string(4990, 'b').c_str(), 5); }), limit);
  EXPECT_EQ(thrownMessage([] { ModelTerms::Indent("", 2500); }), limit);
}

TEST(ModelTermsFormat, TimestampWritesOutOfRangeFieldsAsZero) {
  // year - 1900, month - 1, day, hour, minute, second; a leap second is out of range too.
  const struct {
    int fields[6];
    const char* want;
  } cases[] = {{{107, 0, 31, 9, 5, 7}, "2007/01/31 09:05:07"},
               {{5999 - 1900 + 1, 12, 0, 24, -1, 60}, "0/00/00 00:00:00"},
               {{-1899, 11, 1, 23, 59, 0}, "1/12/01 23:59:00"}};
  for (const auto& c : cases) {
    std::tm t{};
    t.tm_year = c.fields[0];
    t.tm_mon = c.fields[1];
    t.tm_mday = c.fields[2];
    t.tm_hour = c.fields[3];
    t.tm_min = c.fields[4];
    t.tm_sec = c.fields[5];
    EXPECT_EQ(vtmlTimestamp(t), c.want);
  }
}
