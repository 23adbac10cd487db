#include "Commands.h"

void addCovCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("cov", "(not yet available)");
  cmd->callback([] { throw CommandError("not yet available", 2); });
}
