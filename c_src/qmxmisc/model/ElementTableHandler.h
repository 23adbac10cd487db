// ElementTableHandler<Base>: a document handler that reads a model kind's element through an
// ElementTable and leaves the frame to Base (ModelHandler, or MiningModelHandler for a kind
// with a mining schema). A kind's handler derives from it, fills table() in its constructor
// (the actions capture the handler's own members), resets its members in startDocument and
// assembles the model in endDocument.
//
// Dispatch of an element start:
// - a rule for the name at the current path (the exact name first, then "*"): its start
//   action runs, and the element is open on the path until its end (character data, then
//   the end action); a failure that is not a QMXException becomes the rule's fatal message;
// - else a name some rule knows, or any child of a "*" element: the misplaced message;
// - else, outside any table element: Base reads it (frame elements, unknown ones ignored);
// - else a name the table hands to Base (not part of the path), or the unknown message.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ElementTable.h"

template <class Base>
class ElementTableHandler : public Base {
 public:
  template <class... Args>
  explicit ElementTableHandler(Args&&... args) : Base(std::forward<Args>(args)...) {}

  void startDocument() override {
    Base::startDocument();
    open_.clear();
    path_.clear();
  }

  void startElement(const XMLCh* const name, xercesc::AttributeList& attributes) override {
    if (!this->getElement(name)) return;
    const std::string element = this->element();
    const bool frameOpen = open_.empty() && !this->isState(0);
    const ElementRule* rule = frameOpen ? nullptr : table_.find(element, path_);
    if (rule != nullptr) {
      open_.push_back({rule, path_.size(), {}});
      if (!path_.empty()) path_ += '/';
      path_ += element;
      if (rule->onStart) {
        ElementAttributes reader(*this, attributes);
        guarded(*rule, [&] { rule->onStart(reader); });
      }
    } else if (table_.knows(element) ||
               (!open_.empty() && open_.back().rule != nullptr && open_.back().rule->name == "*")) {
      QMX_ThrowException("%s", table_.misplacedMessage(element).c_str());
    } else if (open_.empty()) {
      Base::startElement(name, attributes);
    } else if (table_.toBase(element)) {
      open_.push_back({nullptr, path_.size(), {}});
      Base::startElement(name, attributes);
    } else {
      QMX_ThrowException("%s", table_.unknownMessage(element).c_str());
    }
  }

  void characters(const XMLCh* const chars, const XMLSize_t length) override {
    if (!open_.empty() && open_.back().rule != nullptr && open_.back().rule->onText) {
      this->appendCharacters(chars, length, open_.back().text);
    }
  }

  void endElement(const XMLCh* const name) override {
    if (open_.empty()) {
      Base::endElement(name);
      return;
    }
    const Open done = std::move(open_.back());
    open_.pop_back();
    if (done.rule == nullptr) {
      Base::endElement(name);
      return;
    }
    path_.resize(done.pathSize);
    if (done.rule->onText) guarded(*done.rule, [&] { done.rule->onText(done.text); });
    if (done.rule->onEnd) guarded(*done.rule, [&] { done.rule->onEnd(); });
  }

 protected:
  ElementTable& table() { return table_; }
  // The open table elements, outermost first, joined by '/'.
  const std::string& path() const { return path_; }

 private:
  struct Open {
    const ElementRule* rule;  // null: an element handed to Base
    std::size_t pathSize;     // length of the path before the element
    std::string text;
  };

  template <class Action>
  void guarded(const ElementRule& rule, Action action) {
    try {
      action();
    } catch (const QMXException&) {
      throw;
    } catch (...) {
      const std::string& message =
          rule.fatalMessage.empty() ? table_.fatalMessage() : rule.fatalMessage;
      QMX_ThrowException("%s", message.c_str());
    }
  }

  ElementTable table_;
  std::vector<Open> open_;
  std::string path_;
};
