// qmx: the command-line host of the procedures library.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "Commands.h"
#include "TerminalText.h"
#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/ModelKinds.h"

namespace {

// The text the procs report for an allocation that failed inside them.
constexpr const char* kProcMemoryText = "Insufficient memory available";

void printError(const std::string& message) {
  std::fprintf(stderr, "qmx: %s\n", terminalText(message, true).c_str());
}

int notEnoughMemory(const std::string& what) {
  printError("not enough memory: " + what +
             " (a smaller --chunk-rows, fewer columns or a larger address-space limit may help)");
  return 1;
}

}  // namespace

std::string linkedLibraryPath() {
  const std::string path = modelKindsLibraryPath();
  return path.empty() ? QMXProcLoader::defaultLibraryPath(QMX_DEFAULT_LIBRARY_DIR) : path;
}

std::unique_ptr<QMXProc> createLinkedProc(const std::string& className, const char* absent) {
  try {
    const QMXProcLoader loader(linkedLibraryPath());
    if (!loader.hasClass(className))
      throw CommandError("the procedure " + className + " " + absent + " " + loader.path(), 2);
    return loader.create(className);
  } catch (const QMXLoadError& e) {
    throw CommandError(e.what(), 2);
  }
}

int main(int argc, char** argv) {
  CLI::App app{"qmx: statistical procedures over CSV files larger than memory"};
  app.require_subcommand(1);
  addDescribeCommand(app);
  addCovCommand(app);
  addRunCommand(app);
  addSpecCommand(app);
  addFitCommand(app);
  addPackageCommand(app);
  addScoreCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const CommandError& e) {
    // An empty message: the error was already printed as a proc message.
    const std::string message = e.what();
    if (message.rfind(kProcMemoryText, 0) == 0) return notEnoughMemory(message);
    if (!message.empty()) printError(message);
    return e.exitStatus;
  } catch (const std::bad_alloc& e) {
    return notEnoughMemory("an allocation failed (" + std::string(e.what()) + ")");
  } catch (const QMXMemoryException& e) {
    return notEnoughMemory(e.what());
  } catch (const std::exception& e) {
    printError(std::string("internal error: ") + e.what());
    return 3;
  }
  return 0;
}
