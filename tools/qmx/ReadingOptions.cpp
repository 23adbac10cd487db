#include "ReadingOptions.h"

#include <string>

#include "qmxbase/QMXReadSettings.h"

void addReadingOptions(CLI::App* cmd) {
  cmd->add_option_function<std::string>(
         "--temp-dir", [](const std::string& dir) { QMXSetSpillDirectory(dir); },
         "Directory for the temporary copy of the parsed data (default: $TMPDIR, else /tmp)")
      ->type_name("DIR");
}
