#include "InputText.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXSeekablePath.h"

std::string readInputText(const std::string& path, const std::string& what) {
  std::string readable;
  try {
    readable = QMXSeekablePath(path);
  } catch (const QMXDataError& e) {
    throw CommandError("cannot read " + what + " " + path + ": " + e.what());
  }
  std::ifstream in(readable, std::ios::binary);
  if (!in) throw CommandError("cannot read " + what + " " + path + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
