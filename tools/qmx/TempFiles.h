// Temporary files and directories that must not outlive the process: registered while they
// exist, removed by the handlers of SIGINT, SIGTERM, SIGHUP and SIGPIPE (async-signal-safe:
// unlink, and for a directory unlink of its entries, then rmdir), after which the signal is
// raised again with its default action. After SIGKILL a registered name may remain; it
// always ends in ".tmp".
#pragma once

#include <string>

// Creates a file of a unique name from `pattern` (its "XXXXXX" followed by `suffixLength`
// more characters; mkstemps, O_EXCL, mode 0600) and registers it, with the signals blocked
// in between. Returns the descriptor (-1 with errno set on failure) and sets `pattern` to
// the name and `slot` to the slot.
int createTempFile(std::string& pattern, int suffixLength, int& slot);

// Creates a directory of a unique name from `pattern` (ending in "XXXXXX"; mkdtemp) and
// registers it as a flat directory. Returns false with errno set on failure.
bool createTempDirectory(std::string& pattern, int& slot);

// Registers `path` (a file, or with `directory` a flat directory) and installs the handlers
// on first use. Returns the slot to pass to unregisterTemp; throws std::runtime_error when
// every slot is taken.
int registerTemp(const std::string& path, bool directory = false);

// Forgets the slot: its name was renamed to the output or removed.
void unregisterTemp(int slot);

// Removes a flat directory: its entries, then the directory itself. No error is reported.
void removeFlatDirectory(const char* path) noexcept;
