// The manual page and the bash completion of qmx, generated from the same command and option
// tables as --help (the hidden `qmx --help-man` and `qmx --completion bash` print them; the
// build writes them to qmx.1 and the completion file), so they cannot drift from it.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

// The page in man(7) format: every command and subcommand with its options, defaults and
// examples, the exit statuses and the environment.
std::string manPage(const CLI::App& app, const std::string& version);

// A bash completion script for `app`'s name: commands and subcommands by position, the
// options of the command typed so far after "-", file names otherwise.
std::string bashCompletion(const CLI::App& app);
