// The C scoring package generator: line-by-line copies with "$$model" substitution and the
// model object written in the scoring library's stream format.
#include "qmxmisc/predict/VTPackageGenerator.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "qmxmisc/base/QMXException.h"

namespace {
constexpr std::array<const char*, 8> kKinds = {"KMeansCluster",
                                               "LinearRegression",
                                               "LogisticRegression",
                                               "PrincipalComponents",
                                               "NeuralNetwork",
                                               "CoxRegression",
                                               "Tree",
                                               "NaiveBayes"};

constexpr const char* kPlaceholder = "$$model";

// Every occurrence of "$$model" in line replaced by modelName.
std::string substitute(const std::string& line, const std::string& modelName) {
  std::string out;
  std::size_t from = 0;
  const std::size_t width = std::char_traits<char>::length(kPlaceholder);
  for (std::size_t at = line.find(kPlaceholder); at != std::string::npos;
       at = line.find(kPlaceholder, from)) {
    out.append(line, from, at - from);
    out += modelName;
    from = at + width;
  }
  out.append(line, from, std::string::npos);
  return out;
}
}  // namespace

VTPackageGenerator::VTPackageGenerator(std::string sourceDir, std::string distDir)
    : sourceDir_(std::move(sourceDir)), distDir_(std::move(distDir)) {}

// Paths are the directory, the platform's separator and the file name.
std::string VTPackageGenerator::sourcePath(const std::string& name) const {
  return sourceDir_ + "/" + name;
}

std::string VTPackageGenerator::distPath(const std::string& name) const {
  return distDir_ + "/" + name;
}

bool VTPackageGenerator::isKnownKind(const std::string& kind) {
  for (const char* k : kKinds) {
    if (kind == k) return true;
  }
  return false;
}

bool VTPackageGenerator::copyFile(const std::string& name, const std::string& newName,
                                  const std::string& modelName) const {
  const std::string inPath = sourcePath(name);
  const std::string outPath = distPath(newName.empty() ? name : newName);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(inPath, ec)) {
    std::fputs("bad input file\n", stderr);
    return false;
  }
  std::ifstream in(inPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open input file for reading:%s\n", inPath.c_str());
    return false;
  }
  std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
  if (!out) {
    std::fprintf(stderr, "cannot open output file for writing:%s\n", outPath.c_str());
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    out << (modelName.empty() ? line : substitute(line, modelName)) << '\n';
  }
  out.flush();
  return static_cast<bool>(out);
}

bool VTPackageGenerator::writePackage(const std::string& kind, const TelvarObject& model) const {
  if (!isKnownKind(kind)) QMX_ThrowException("unknown C scoring model kind: %s", kind.c_str());
  bool ok = copyFile("readme.txt", {}, kind);
  ok = copyFile("VTObjects.h") && ok;
  ok = copyFile("VTObjects.c") && ok;
  ok = copyFile("VT" + kind + ".h") && ok;
  ok = copyFile("VT" + kind + ".c") && ok;
  ok = copyFile("_main.c", "main.c", kind) && ok;
  const std::string modelPath = distPath("model.txt");
  if (TelvarObject_writeToFile(modelPath.c_str(), &model) != TELVAR_OK) {
    std::fprintf(stderr, "cannot open output file for writing:%s\n", modelPath.c_str());
    ok = false;
  }
  return ok;
}
