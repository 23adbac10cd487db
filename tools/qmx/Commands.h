// The subcommands of qmx. Each registers itself on the application and runs when chosen;
// a command reports failure by throwing CommandError (message on stderr, exit status).
// Procs come from the library qmx is linked with (linkedLibraryPath), so that the process
// holds one copy of it; only qmx run --library may load another.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <stdexcept>
#include <string>

// Exit statuses: 0 success; a usage error (an unknown command or option, a bad option
// value); data, model or proc errors; an internal error; the procedures library or one of
// its classes missing (the same in every command).
constexpr int kExitData = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInternal = 3;
constexpr int kExitLibrary = 4;

struct CommandError : std::runtime_error {
  CommandError(const std::string& message, int status = 1)
      : std::runtime_error(message), exitStatus(status) {}
  int exitStatus;
};

// The path of the procedures library linked into qmx (main.cpp).
std::string linkedLibraryPath();

class QMXProc;
// A proc of the linked library by class name (main.cpp); a library that cannot be loaded, or
// lacks the class ("the procedure NAME <absent> PATH"), is a CommandError with kExitLibrary.
std::unique_ptr<QMXProc> createLinkedProc(const std::string& className,
                                          const char* absent = "is not available in");

void addDescribeCommand(CLI::App& app);
void addCovCommand(CLI::App& app);
void addRunCommand(CLI::App& app);
void addSpecCommand(CLI::App& app);
void addFitCommand(CLI::App& app);
void addPackageCommand(CLI::App& app);
void addScoreCommand(CLI::App& app);
