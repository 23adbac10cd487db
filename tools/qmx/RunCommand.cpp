#include "Commands.h"

void addRunCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("run", "(not yet available)");
  cmd->callback([] { throw CommandError("not yet available", 2); });
}
