#include "ReadingOptions.h"

#include <cstdlib>
#include <string>

#include "Commands.h"
#include "qmxbase/QMXReadSettings.h"

namespace {

// A thread count from `text` (named `name` in the error): a whole number from 1 to 1024.
unsigned threadCount(const std::string& text, const std::string& name) {
  const bool digits = !text.empty() && text.size() <= 4 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const int count = digits ? std::stoi(text) : 0;
  if (count < 1 || count > 1024)
    throw CommandError(name + " must be a whole number from 1 to 1024, not '" + text + "'",
                       kExitUsage);
  return static_cast<unsigned>(count);
}

}  // namespace

void addReadingOptions(CLI::App* cmd) {
  cmd->add_option_function<std::string>(
         "--temp-dir", [](const std::string& dir) { QMXSetSpillDirectory(dir); },
         "Directory for the temporary copy of the parsed data (default: $TMPDIR, else /tmp)")
      ->type_name("DIR");
  auto* threads =
      cmd->add_option_function<std::string>(
             "--threads",
             [](const std::string& text) { QMXSetReadThreads(threadCount(text, "--threads")); },
             "Threads that parse the CSV text (default: $QMX_THREADS, else all "
             "cores; 1 reads on one)")
          ->type_name("N");
  cmd->parse_complete_callback([threads] {
    const char* env = std::getenv("QMX_THREADS");
    if (threads->count() == 0 && env != nullptr) QMXSetReadThreads(threadCount(env, "QMX_THREADS"));
  });
}
