// ElementTable: the elements a model kind reads from its model element, declared as data.
// Each ElementRule names an element, the path of table elements it must sit in, and what to
// do at its start (attributes), with its character data and at its end. ElementTableHandler
// (ElementTableHandler.h) runs a table over a document; ElementAttributes gives the start
// action typed attribute readers that throw the kind's own message texts.
//
//   ElementTable table;
//   table.fatalMessage("fatal error parsing XML");
//   table.add({"ParameterList", "GeneralRegressionModel"});
//   table.add({"Parameter", "GeneralRegressionModel/ParameterList",
//              [&](ElementAttributes& a) {
//                names.push_back(a.required("name", "missing name attribute in Parameter
//                element"));
//              }});
//
// A path is the names of the open table elements, outermost first, joined by '/'; the kind's
// root element sits at path "" (no table element open, and no frame element either). A rule
// named "*" takes any element at its path (one name/value pair per element, say); the
// children of such an element are out of place.
#pragma once

#include <xercesc/sax/AttributeList.hpp>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class ModelHandler;

// The attributes of the element being started, read through the handler's UTF-8 buffer (so
// every value is cut at ModelHandler::kBufferChars bytes). An attribute that is absent or
// empty counts as missing.
class ElementAttributes {
 public:
  ElementAttributes(ModelHandler& handler, xercesc::AttributeList& attributes)
      : handler_(handler), attributes_(attributes) {}

  // The element's name.
  const char* element() const;
  // The value, or nullopt when missing.
  std::optional<std::string> text(const char* name);
  // The value; throws `missing` when missing.
  std::string required(const char* name, const std::string& missing);
  // The whole value as a decimal number (NaN and infinities included, hexadecimal and
  // surrounding blanks not); nullopt when missing, throws `invalid` when it is not a number.
  std::optional<double> number(const char* name, const std::string& invalid);
  // As number(), and throws `invalid` for NaN and infinities too.
  std::optional<double> finite(const char* name, const std::string& invalid);
  double number(const char* name, const std::string& missing, const std::string& invalid);
  // The whole value as a decimal integer (leading blanks and a sign allowed); throws
  // `missing` or `invalid`.
  long integer(const char* name, const std::string& missing, const std::string& invalid);
  // The value looked up in `choices`; `otherwise` when missing or not listed.
  template <class E>
  E choice(const char* name, std::initializer_list<std::pair<std::string_view, E>> choices,
           E otherwise) {
    const std::optional<std::string> value = text(name);
    if (value) {
      for (const auto& [label, code] : choices)
        if (*value == label) return code;
    }
    return otherwise;
  }

 private:
  ModelHandler& handler_;
  xercesc::AttributeList& attributes_;
};

struct ElementRule {
  using Start = std::function<void(ElementAttributes&)>;
  using Text = std::function<void(const std::string&)>;
  using End = std::function<void()>;

  std::string name;    // element name, or "*" for any element at `parent`
  std::string parent;  // path of the open table elements it sits in ("" = none)
  Start onStart = {};
  End onEnd = {};
  Text onText = {};  // the element's character data, whole, before onEnd
  // Message for a failure of the actions that is not a QMXException; "" = the table's.
  std::string fatalMessage = {};
};

class ElementTable {
 public:
  ElementTable& add(ElementRule rule);
  // Message for a failure other than a QMXException in a start action.
  ElementTable& fatalMessage(std::string message);
  // Message for a table element out of place (filled with the name): by default
  // "unexpected %s element"; `replace` maps a name to its own message.
  ElementTable& misplaced(std::string format,
                          std::vector<std::pair<std::string, std::string>> replace = {});
  // What happens to an element inside the kind's root that no rule names: `toBase` lists
  // names handed to the base handler (a mining schema, say; they are not part of any path);
  // any other name throws `format` filled with the name (by default "bad %s element").
  ElementTable& unknown(std::string format, std::vector<std::string> toBase = {});

  // The rule for `name` at `path`, or null.
  const ElementRule* find(const std::string& name, const std::string& path) const;
  // True when some rule names the element.
  bool knows(const std::string& name) const { return byName_.count(name) != 0; }
  bool toBase(const std::string& name) const;
  const std::string& fatalMessage() const { return fatal_; }
  std::string misplacedMessage(const std::string& name) const;
  std::string unknownMessage(const std::string& name) const;

 private:
  std::vector<ElementRule> rules_;
  std::unordered_multimap<std::string, std::size_t> byName_;
  std::string fatal_ = "fatal error parsing XML";
  std::string misplaced_ = "unexpected %s element";
  std::vector<std::pair<std::string, std::string>> misplacedReplace_;
  std::string unknown_ = "bad %s element";
  std::vector<std::string> toBase_;
};
