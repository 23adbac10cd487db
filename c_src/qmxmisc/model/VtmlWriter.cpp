// VtmlWriter: elements and attributes of a model document, through ModelTerms' formatting.
#include "qmxmisc/model/VtmlWriter.h"

#include <cmath>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/model/ModelTerms.h"

VtmlWriter& VtmlWriter::begin(const std::string& name) {
  pending_ = name;
  os_ << ModelTerms::Indent("<", level_) << name;
  return *this;
}

VtmlWriter& VtmlWriter::attr(const char* name, const char* text) {
  os_ << ' ' << name << '=' << ModelTerms::Quote(text);
  return *this;
}

VtmlWriter& VtmlWriter::attr(const char* name, double value) {
  os_ << ' ' << name << '=' << (std::isnan(value) ? "\"NaN\"" : ModelTerms::QFormat(value));
  return *this;
}

VtmlWriter& VtmlWriter::integer(const char* name, long long value) {
  os_ << ' ' << name << '=' << ModelTerms::QFormat(value);
  return *this;
}

void VtmlWriter::leaf() {
  os_ << ModelTerms::XMLSEOL();
}

void VtmlWriter::open() {
  os_ << ModelTerms::XMLEOL();
  open_.push_back(pending_);
  ++level_;
}

bool VtmlWriter::open(bool children) {
  if (children) {
    open();
  } else {
    leaf();
  }
  return children;
}

void VtmlWriter::text(const std::string& name, const std::string& content) {
  const std::string quoted = ModelTerms::Quote(content.c_str());
  os_ << ModelTerms::Indent("<", level_) << name << '>' << quoted.substr(1, quoted.size() - 2)
      << "</" << name << ">\n";
}

void VtmlWriter::close() {
  QMX_ASSERT(!open_.empty(), "close() follows an open()");
  --level_;
  close(open_.back());
  open_.pop_back();
}

void VtmlWriter::close(const std::string& name) {
  os_ << ModelTerms::Indent("</", level_) << name << ">\n";
}
