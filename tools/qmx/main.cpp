// qmx: the command-line host of the procedures library.
#include <cstdio>
#include <exception>

#include "Commands.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxmisc/kinds/ModelKinds.h"

std::string linkedLibraryPath() {
  const std::string path = modelKindsLibraryPath();
  return path.empty() ? QMXProcLoader::defaultLibraryPath(QMX_DEFAULT_LIBRARY_DIR) : path;
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
    if (*e.what()) std::fprintf(stderr, "qmx: %s\n", e.what());
    return e.exitStatus;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qmx: internal error: %s\n", e.what());
    return 3;
  }
  return 0;
}
