// qmx: the command-line host of the procedures library.
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "Commands.h"
#include "Console.h"
#include "Manual.h"
#include "TerminalText.h"
#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/ModelKinds.h"

#ifndef QMX_VERSION_TEXT
#define QMX_VERSION_TEXT "unknown"
#endif

namespace {

// The text the procs report for an allocation that failed inside them.
constexpr const char* kProcMemoryText = "Insufficient memory available";

void printError(const std::string& message) {
  std::fprintf(stderr, "qmx: %s\n", terminalText(message, true).c_str());
}

int notEnoughMemory(const std::string& what) {
  printError("not enough memory: " + what +
             " (a smaller --chunk-rows, fewer columns or a larger address-space limit may help)");
  return kExitData;
}

// The names of the subcommands of `app`, as "a, b, c".
std::string commandList(const CLI::App& app) {
  std::string names;
  for (const CLI::App* sub : app.get_subcommands({}))
    names += (names.empty() ? "" : ", ") + sub->get_name();
  return names;
}

// The first word of `argv` from `first` on that is not an option, at the level of `app`:
// when `app` has commands and the word names none of them, it is an unknown command.
void checkCommandNames(const CLI::App& app, int argc, char** argv, int first,
                       const std::string& where) {
  if (app.get_subcommands({}).empty()) return;
  for (int argIdx = first; argIdx < argc; ++argIdx) {
    const std::string word = argv[argIdx];
    if (word.empty() || word[0] == '-') continue;
    const CLI::App* sub = nullptr;
    for (const CLI::App* candidate : app.get_subcommands({}))
      if (candidate->get_name() == word) sub = candidate;
    if (sub == nullptr)
      throw CommandError(
          "unknown command '" + where + word + "' (commands: " + commandList(app) + ")",
          kExitUsage);
    checkCommandNames(*sub, argc, argv, argIdx + 1, where + word + " ");
    return;
  }
}

void addGlobalOptions(CLI::App& app) {
  app.set_version_flag("--version", "qmx " QMX_VERSION_TEXT);
  auto* quiet = app.add_flag_callback(
      "-q,--quiet", [] { setVerbosity(Verbosity::kQuiet); },
      "Print only errors and warnings on standard error");
  app.add_flag_callback(
         "-v,--verbose", [] { setVerbosity(Verbosity::kVerbose); },
         "Also print the library's info and debug messages")
      ->excludes(quiet);
  // Subcommands hand the options above back to the application wherever they appear.
  app.fallthrough();
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
      throw CommandError("the procedure " + className + " " + absent + " " + loader.path(),
                         kExitLibrary);
    return loader.create(className);
  } catch (const QMXLoadError& e) {
    throw CommandError(e.what(), kExitLibrary);
  }
}

int main(int argc, char** argv) {
  // The blocks of a chunk (model matrix, response, weights: up to a few MB) are made on the
  // reading thread and freed on the folding one, a thousand times a pass. From the heap they
  // are reused; mapped and unmapped each time they cost page faults. At most a few chunks
  // are alive at once, so what the heap keeps stays bounded.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  CLI::App app{"qmx: statistical procedures over CSV files larger than memory"};
  app.require_subcommand(1);
  addGlobalOptions(app);
  addDescribeCommand(app);
  addCovCommand(app);
  addRunCommand(app);
  addSpecCommand(app);
  addFitCommand(app);
  addPackageCommand(app);
  addScoreCommand(app);
  if (argc == 2 && std::strcmp(argv[1], "--help-man") == 0) {
    std::fputs(manPage(app, QMX_VERSION_TEXT).c_str(), stdout);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--completion") == 0 && std::strcmp(argv[2], "bash") == 0) {
    std::fputs(bashCompletion(app).c_str(), stdout);
    return 0;
  }
  try {
    checkCommandNames(app, argc, argv, 1, "");
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version exit 0; every other parse error is a usage error.
    const int status = app.exit(e);
    return status == 0 ? 0 : kExitUsage;
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
    return kExitInternal;
  }
  return 0;
}
