// VtmlWriter: writes the elements of a model document in the library's one format: one
// element per line, two blanks of indentation per level, attribute values XML-escaped in
// double quotes, numbers with 15 significant digits (ModelTerms::QFormat) and an undefined
// number as the text NaN.
//
//   VtmlWriter w(os, 2);                        // elements start at level 2
//   w.begin("ParameterList").open();            //   <ParameterList>
//   w.begin("Parameter").attr("name", "x").leaf();  //     <Parameter name="x"/>
//   w.close();                                  //   </ParameterList>
//   w.begin("RMatrix").attr("nRows", 0L).leaf();    //   <RMatrix nRows="0"/>
#pragma once

#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "qmxmisc/numeric/String.h"

class VtmlWriter {
 public:
  VtmlWriter(std::ostream& os, int level) : os_(os), level_(level) {}

  // The indentation and "<name" of a start tag.
  VtmlWriter& begin(const std::string& name);
  // One attribute: ` name="value"`.
  VtmlWriter& attr(const char* name, const char* text);
  VtmlWriter& attr(const char* name, const std::string& text) { return attr(name, text.c_str()); }
  VtmlWriter& attr(const char* name, const String& text) { return attr(name, text.c_str()); }
  VtmlWriter& attr(const char* name, double value);
  template <class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) VtmlWriter& attr(const char* name,
                                                                               T value) {
    return integer(name, static_cast<long long>(value));
  }
  // Ends the start tag of an empty element ("/>").
  void leaf();
  // Ends the start tag (">"); the children follow one level deeper until close().
  void open();
  // open() when `children`, else leaf(); returns `children`.
  bool open(bool children);
  // A whole element holding only text, on one line: <name>escaped text</name>.
  void text(const std::string& name, const std::string& content);
  // The end tag of the innermost open element.
  void close();
  // The end tag of an element opened by another writer, at this writer's level.
  void close(const std::string& name);
  bool good() const { return os_.good(); }

 private:
  VtmlWriter& integer(const char* name, long long value);

  std::ostream& os_;
  int level_;
  std::string pending_;  // name of the element whose start tag is being written
  std::vector<std::string> open_;
};
