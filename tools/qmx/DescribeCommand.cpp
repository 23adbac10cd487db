#include "Commands.h"

void addDescribeCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("describe", "(not yet available)");
  cmd->callback([] { throw CommandError("not yet available", 2); });
}
