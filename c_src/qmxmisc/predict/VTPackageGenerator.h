// Writes a fitted model out as a C scoring package: the standalone scoring library's sources
// and templates copied from a source directory into a distribution directory, plus the model
// object as "model.txt" in the library's text stream format.
#pragma once

#include <string>

#include "vtcsrc/VTObjects.h"

class VTPackageGenerator {
 public:
  // sourceDir holds "readme.txt", "_main.c", "VTObjects.h/.c" and "VT<Kind>.h/.c" (the
  // installed share/qmxmisc/vtcsrc folder); distDir receives the package. Both must exist.
  VTPackageGenerator(std::string sourceDir, std::string distDir);

  // Copies sourceDir/name to distDir/newName (newName empty: the same name) line by line,
  // replacing every "$$model" by modelName when modelName is not empty. On failure prints
  // "bad input file\n" (no such source file), "cannot open input file for reading:<path>\n"
  // or "cannot open output file for writing:<path>\n" to standard error and returns false.
  bool copyFile(const std::string& name, const std::string& newName = {},
                const std::string& modelName = {}) const;

  // Writes the package of model kind `kind` ("KMeansCluster", "LinearRegression",
  // "LogisticRegression", "PrincipalComponents", "NeuralNetwork", "CoxRegression", "Tree",
  // "NaiveBayes"), in order: readme.txt ($$model replaced), VTObjects.h, VTObjects.c,
  // VT<kind>.h, VT<kind>.c, main.c from _main.c ($$model replaced), model.txt (the model
  // written with TelvarObject_writeToFile). Every step is attempted; returns false when any
  // failed (the messages went to standard error). Throws QMXException
  // "unknown C scoring model kind: %s" for another kind.
  bool writePackage(const std::string& kind, const TelvarObject& model) const;

  // The path of a file in the source / distribution directory.
  std::string sourcePath(const std::string& name) const;
  std::string distPath(const std::string& name) const;

  // True for the eight model kind names above.
  static bool isKnownKind(const std::string& kind);

 private:
  std::string sourceDir_;
  std::string distDir_;
};
