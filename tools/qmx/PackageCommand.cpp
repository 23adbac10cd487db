// qmx package: writes a fitted model document as a C scoring package. The kind of the
// model-kind table whose element the document holds names the scoring proc; the proc is
// created through the proc loader, given the document as "model.xml" and the source and
// distribution directories as "define.cgenerator", and run: instead of scoring it writes the
// package (the scoring library's sources, main.c, readme.txt and model.txt) into an
// OutputDirectory, moved into place when complete.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "InputText.h"
#include "OutputDirectory.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/kinds/ModelKinds.h"

namespace {

// The scoring library's sources: share/qmxmisc/vtcsrc of the installation qmx runs from,
// else the build tree's staged copy.
std::string defaultSourceDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path installed =
        exe.parent_path().parent_path() / "share" / "qmxmisc" / "vtcsrc";
    if (std::filesystem::is_directory(installed, ec)) return installed.string();
  }
  return QMX_VTCSRC_SOURCE_DIR;
}

struct PackageOptions {
  std::string model;
  std::string output;
  std::string source = defaultSourceDir();
};

const char* procClassOf(const std::string& document, const std::string& path) {
  if (const ModelKind* kind = findModelKindOfDocument(document)) return kind->scoreProc;
  std::string supported;
  for (const ModelKind* kind : modelKinds())
    if (findModelKindByElement(kind->element) == kind)
      supported += (supported.empty() ? "" : ", ") + std::string(kind->element);
  throw CommandError(
      path + " holds no model that qmx package can write as C (supported: " + supported + ")");
}

void setProperty(QMXPipeline& pipeline, const std::string& name,
                 const std::vector<std::string>& values) {
  QMXPropertyInfo request(name, values);
  if (!pipeline.setProperty(request))
    throw CommandError("cannot set " + name + ": " + pipeline.error());
}

void runPackage(const PackageOptions& options) {
  const std::string document = readInputText(options.model, "the model document");
  const std::string className = procClassOf(document, options.model);
  std::error_code ec;
  if (!std::filesystem::is_directory(options.source, ec))
    throw CommandError("the scoring library sources are not in " + options.source +
                       " (use --source)");
  // The scoring proc with the document set: a document the proc cannot read fails here,
  // before anything is written.
  std::unique_ptr<QMXProc> proc = createLinkedProc(className);
  QMXPipeline pipeline(*proc, className);
  pipeline.attach();
  setProperty(pipeline, "model.xml", {document});
  OutputDirectory output(options.output);
  setProperty(pipeline, "define.cgenerator", {options.source, output.path()});
  if (!pipeline.run()) {
    // The proc names the directory it wrote to: the user knows it by the name given.
    std::string error = pipeline.error();
    for (auto at = error.find(output.path()); at != std::string::npos;
         at = error.find(output.path(), at + options.output.size()))
      error.replace(at, output.path().size(), options.output);
    throw CommandError(error);
  }
  output.commit();
  std::printf("wrote the C scoring package of %s to %s\n", options.model.c_str(),
              options.output.c_str());
}

}  // namespace

void addPackageCommand(CLI::App& app) {
  auto options = std::make_shared<PackageOptions>();
  auto* cmd = app.add_subcommand("package", "Write a fitted model as a C scoring package");
  cmd->add_option("model", options->model,
                  "Fitted model document (qmx fit -o; - for standard input)")
      ->required();
  cmd->add_option("-o,--output", options->output, "Directory that receives the package")
      ->required();
  cmd->add_option("--source", options->source,
                  "Directory of the scoring library's sources and package templates")
      ->capture_default_str();
  cmd->footer(
      "Example:\n  qmx fit lm data.csv --formula \"mpg ~ wt + hp\" -o lm.xml\n"
      "  qmx package lm.xml -o lm-package\n"
      "  cd lm-package && cc -std=c11 -O2 -o score main.c VTObjects.c VTLinearRegression.c -lm\n");
  cmd->callback([options] { runPackage(*options); });
}
