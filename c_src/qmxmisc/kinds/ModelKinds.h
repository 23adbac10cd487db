// The model-kind table: every model kind the command line fits, scores and packages, in the
// order qmx fit lists them. A kind is added by one line in ModelKinds.cpp and the files of its
// own folder (see c_src/qmxmisc/README.md, "Adding a model kind").
//
// Hosts include this header (and KindSpecification.h) only: it re-exports the ModelKind
// descriptor, whose hooks take model types that stay hidden from them.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "qmxmisc/model/ModelKind.h"

// Every kind, in table order.
std::span<const ModelKind* const> modelKinds();

// The kind of a command-line name ("lm", "glm"), nullptr when none.
const ModelKind* findModelKind(std::string_view cliName);

// The first kind (in table order) whose documents hold `element`, nullptr when none.
const ModelKind* findModelKindByElement(std::string_view element);

// True when `document` holds an element named `element` (its start tag).
bool documentHoldsElement(const std::string& document, std::string_view element);

// The first kind whose element `document` holds, nullptr when none.
const ModelKind* findModelKindOfDocument(const std::string& document);

// The path of the loaded library that holds this table, so that a host creates its procs
// from the same copy of the library (QMXProcLoader on this path); "" when unknown.
std::string modelKindsLibraryPath();
